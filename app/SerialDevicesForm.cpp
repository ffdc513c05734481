#include "app/SerialDevicesForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace travin {

namespace {

constexpr int kPorts = 8;
constexpr int kRefreshMs = 1000;

QString text(const std::string& s) { return QString::fromStdString(s); }

QTableWidget* makeTable(const QStringList& headers, QWidget* parent) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setToolTip(cells[c]);
        table->setItem(row, c, item);
    }
}

}  // namespace

SerialDevicesForm::SerialDevicesForm(SerialCatalogue& cat, QWidget* parent) : QDialog(parent), catalogue(cat) {
    setWindowTitle("Serial Devices");
    setModal(true);
    resize(760, 460);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("What each COM port opens:", this));
    PortTable = makeTable({"Port", "Opens"}, this);
    PortTable->setObjectName("PortTable");
    PortTable->setRowCount(kPorts);
    PortTable->setColumnWidth(0, 70);
    // All eight rows in sight, without a scroll bar.
    PortTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    PortTable->setFixedHeight(PortTable->horizontalHeader()->sizeHint().height() +
                              kPorts * PortTable->verticalHeader()->defaultSectionSize() +
                              2 * PortTable->frameWidth());
    layout->addWidget(PortTable);

    layout->addWidget(new QLabel("Serial devices found:", this));
    DeviceTable = makeTable({"Device", "Description", "Manufacturer", "Serial number", "USB ids", "Stable name"},
                            this);
    DeviceTable->setObjectName("DeviceTable");
    DeviceTable->setColumnWidth(0, 110);
    DeviceTable->setColumnWidth(1, 150);
    DeviceTable->setColumnWidth(2, 110);
    DeviceTable->setColumnWidth(3, 100);
    DeviceTable->setColumnWidth(4, 75);
    layout->addWidget(DeviceTable, 1);

    MessageLabel = new QLabel(this);
    MessageLabel->setObjectName("MessageLabel");
    layout->addWidget(MessageLabel);

    auto* buttons = new QHBoxLayout;
    AssignButton = new QPushButton(this);
    AssignButton->setObjectName("AssignButton");
    RemoveButton = new QPushButton(this);
    RemoveButton->setObjectName("RemoveButton");
    NetworkButton = new QPushButton(this);
    NetworkButton->setObjectName("NetworkButton");
    CloseButton = new QPushButton("Close", this);
    CloseButton->setObjectName("CloseButton");
    buttons->addWidget(AssignButton);
    buttons->addWidget(RemoveButton);
    buttons->addWidget(NetworkButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);

    connect(AssignButton, &QPushButton::clicked, this, [this] { assignSelected(); });
    connect(RemoveButton, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(NetworkButton, &QPushButton::clicked, this, [this] { giveNetworkPort(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(PortTable, &QTableWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(DeviceTable, &QTableWidget::itemSelectionChanged, this, [this] { updateButtons(); });

    refreshTimer = new QTimer(this);
    refreshTimer->setInterval(kRefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, [this] { refresh(); });

    refresh();
    selectPort(1);
}

void SerialDevicesForm::showFor(int port) {
    MessageLabel->clear();
    refresh();
    selectPort(port);
    exec();
}

void SerialDevicesForm::showEvent(QShowEvent* event) {
    refresh();
    refreshTimer->start();
    QDialog::showEvent(event);
}

void SerialDevicesForm::hideEvent(QHideEvent* event) {
    refreshTimer->stop();
    QDialog::hideEvent(event);
}

int SerialDevicesForm::selectedPort() const {
    const int row = PortTable->currentRow();
    return row >= 0 ? row + 1 : 1;
}

void SerialDevicesForm::selectPort(int port) {
    if (port >= 1 && port <= kPorts) PortTable->selectRow(port - 1);
    updateButtons();
}

void SerialDevicesForm::refresh() {
    fillPorts();
    fillDevices();
    updateButtons();
}

void SerialDevicesForm::fillPorts() {
    std::vector<std::string> targets;
    for (int port = 1; port <= kPorts; ++port) targets.push_back(catalogue.comTarget(port).text());
    if (targets == shownTargets) return;
    shownTargets = targets;
    for (int port = 1; port <= kPorts; ++port)
        setRow(PortTable, port - 1, {QString("COM%1").arg(port), text(targets[port - 1])});
}

void SerialDevicesForm::fillDevices() {
    const std::vector<SerialDevice> devices = catalogue.devices();
    if (devices == shownDevices) return;
    // The same device stays selected across a re-plug of another one.
    const int current = DeviceTable->currentRow();
    const std::string selected = current >= 0 && current < static_cast<int>(shownDevices.size())
                                     ? shownDevices[current].path
                                     : std::string();
    shownDevices = devices;
    DeviceTable->clearSelection();
    DeviceTable->setRowCount(static_cast<int>(devices.size()));
    for (int row = 0; row < static_cast<int>(devices.size()); ++row) {
        const SerialDevice& d = devices[row];
        const std::string stable = d.comLink.empty() ? d.byIdPath : "through " + d.comLink;
        setRow(DeviceTable, row,
               {text(d.path), text(d.description), text(d.manufacturer), text(d.serialNumber), text(d.usbIds()),
                text(stable)});
        if (!selected.empty() && d.path == selected) DeviceTable->selectRow(row);
    }
}

void SerialDevicesForm::updateButtons() {
    const int port = selectedPort();
    AssignButton->setText(QString("Give to COM%1").arg(port));
    RemoveButton->setText(QString("Remove COM%1 link").arg(port));
    NetworkButton->setText(QString("Give a network port to COM%1...").arg(port));
    const int device = DeviceTable->currentRow();
    const bool deviceChosen = device >= 0 && device < static_cast<int>(shownDevices.size()) &&
                              !DeviceTable->selectedItems().isEmpty();
    AssignButton->setEnabled(deviceChosen);
    const ComTarget::Kind kind = catalogue.comTarget(port).kind;
    RemoveButton->setEnabled(kind == ComTarget::Kind::Link || kind == ComTarget::Kind::LinkNowhere ||
                             kind == ComTarget::Kind::Network);
}

void SerialDevicesForm::assignSelected() {
    const int row = DeviceTable->currentRow();
    if (row < 0 || row >= static_cast<int>(shownDevices.size())) return;
    const int port = selectedPort();
    std::string error;
    if (catalogue.assign(port, shownDevices[row], error)) {
        MessageLabel->setText(QString("COM%1 now opens %2").arg(port).arg(text(shownDevices[row].linkPath())));
        if (onAssigned) onAssigned(port);
    } else {
        MessageLabel->setText(text(error));
    }
    refresh();
}

void SerialDevicesForm::removeSelected() {
    const int port = selectedPort();
    std::string error;
    if (catalogue.unassign(port, error)) {
        MessageLabel->setText(QString("COM%1 now opens %2").arg(port).arg(text(catalogue.comTarget(port).text())));
        if (onAssigned) onAssigned(port);
    } else {
        MessageLabel->setText(text(error));
    }
    refresh();
}

void SerialDevicesForm::giveNetworkPort() {
    const int port = selectedPort();
    const ComTarget now = catalogue.comTarget(port);
    bool ok = false;
    const QString address = QInputDialog::getText(
        this, QString("Give a network port to COM%1").arg(port),
        "Address of the serial server's port (rfc2217://HOST:PORT, or socket://HOST:PORT for a raw bridge):",
        QLineEdit::Normal, text(now.kind == ComTarget::Kind::Network ? now.target : "rfc2217://"), &ok);
    if (!ok) return;
    std::string error;
    if (catalogue.assignNetwork(port, address.trimmed().toStdString(), error)) {
        MessageLabel->setText(QString("COM%1 now opens %2").arg(port).arg(address.trimmed()));
        if (onAssigned) onAssigned(port);
    } else {
        MessageLabel->setText(text(error));
    }
    refresh();
}

}  // namespace travin
