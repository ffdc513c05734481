// "Serial Devices": what COM1..COM8 open now, the serial devices plugged in,
// and giving the selected device to the selected COM number (its com<n>
// link) or taking it back; or giving the COM number a network port (an
// rfc2217:// or socket:// address typed in). Opened from the port dialog; re-reads the
// catalogue every second while shown, so plugging an adapter in or out
// shows at once.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "link/SerialCatalogue.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace travin {

class SerialDevicesForm : public QDialog {
    Q_OBJECT
public:
    SerialDevicesForm(SerialCatalogue& catalogue, QWidget* parent);

    // Shows the window modally with COM`port` (1..8) selected.
    void showFor(int port);
    // Re-reads the catalogue; rows change only where the list did.
    void refresh();

    int selectedPort() const;          // 1..8
    void selectPort(int port);
    // Called after a COM number got a device or lost one.
    std::function<void(int port)> onAssigned;

    QTableWidget* PortTable = nullptr;
    QTableWidget* DeviceTable = nullptr;
    QPushButton* AssignButton = nullptr;
    QPushButton* RemoveButton = nullptr;
    QPushButton* NetworkButton = nullptr;
    QPushButton* CloseButton = nullptr;
    QLabel* MessageLabel = nullptr;
    QTimer* refreshTimer = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void fillPorts();
    void fillDevices();
    void updateButtons();
    void assignSelected();
    void removeSelected();
    void giveNetworkPort();

    SerialCatalogue& catalogue;
    std::vector<SerialDevice> shownDevices;
    std::vector<std::string> shownTargets;
};

}  // namespace travin
