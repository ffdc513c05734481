// The assistant's Qt windows, offscreen: what only the widgets can show
// (positions, looks, tooltips) and the modal flow from a right click in a
// real text pane to the replaced selection.
#include "app/ListingPane.h"
#include "app/AssistMessage.h"
#include "app/AssistMouse.h"
#include "assistant/FuncAssist.h"
#include "assistant/FuncAssistCatalogue.h"
#include "app/TFuncAssistEditForm.h"
#include "app/TFuncAssistMenuForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace travin;

namespace {

// One application for the whole run, destroyed when the tests are done and
// not among the static destructors at exit, where tearing Qt down crashes
// inside its input-device registry.
QApplication* gApp = nullptr;

class QtEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        delete gApp;
        gApp = nullptr;
    }
};
const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QApplication& App()
{
    static int argc = 1;
    static char name[] = "assistant_forms_test";
    static char* argv[] = {name, nullptr};
    if (!gApp) gApp = new QApplication(argc, argv);
    return *gApp;
}

// A listing pane of our own over QTextEdit, in program positions (a line
// break counts two, texts use CR LF), forwarding right presses as the main
// window's listing does.
class TextEditListing : public QObject, public AssistListing {
public:
    TextEditListing()
    {
        edit.viewport()->installEventFilter(this);
        edit.setContextMenuPolicy(Qt::NoContextMenu);
    }
    ~TextEditListing() override { edit.viewport()->removeEventFilter(this); }

    void setText(const std::string& programText) { edit.setPlainText(ToWidget(programText)); }
    std::string text() const { return FromWidget(edit.toPlainText()); }

    int selectionStart() const override { return ToProgram(edit.textCursor().selectionStart()); }
    int selectionLength() const override
    {
        const QTextCursor c = edit.textCursor();
        return ToProgram(c.selectionEnd()) - ToProgram(c.selectionStart());
    }
    void setSelection(int start, int length) override
    {
        QTextCursor c = edit.textCursor();
        c.setPosition(ToWidgetPos(start));
        c.setPosition(ToWidgetPos(start + length), QTextCursor::KeepAnchor);
        edit.setTextCursor(c);
    }
    std::string selectedText() const override
    {
        const QTextCursor c = edit.textCursor();
        return FromWidget(edit.toPlainText().mid(c.selectionStart(), c.selectionEnd() - c.selectionStart()));
    }
    void replaceSelection(const std::string& t) override { edit.textCursor().insertText(ToWidget(t)); }

    void rightClick()
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::RightButton,
                          Qt::RightButton, Qt::ShiftModifier);
        QCoreApplication::sendEvent(edit.viewport(), &press);
    }

    FuncAssist* assist = nullptr;
    QTextEdit edit;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == edit.viewport() && event->type() == QEvent::MouseButtonPress) {
            const auto* me = static_cast<QMouseEvent*>(event);
            if (assist)
                assist->RichEdit1MouseDown(me->button() == Qt::RightButton ? MouseButton::Right
                                                                          : MouseButton::Left);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static QString ToWidget(const std::string& s)
    {
        return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())).replace("\r\n", "\n");
    }
    static std::string FromWidget(QString s)
    {
        s.replace(QChar::ParagraphSeparator, '\n');
        const QByteArray b = s.replace("\n", "\r\n").toLatin1();
        return std::string(b.constData(), static_cast<std::size_t>(b.size()));
    }
    int ToProgram(int widgetPos) const
    {
        return widgetPos + static_cast<int>(edit.toPlainText().left(widgetPos).count('\n'));
    }
    int ToWidgetPos(int programPos) const
    {
        const QString t = edit.toPlainText();
        int w = 0;
        for (int p = 0; p < programPos && w < t.size(); ++w)
            p += t[w] == '\n' ? 2 : 1;
        return w;
    }
};

// Runs `action` once `dialog` is the active modal window. Gives up after
// two seconds, failing the test and ending whatever modal window is open,
// so a broken flow cannot hang the run.
void WhenModal(QDialog* dialog, std::function<void()> action)
{
    auto* timer = new QTimer;
    auto* ticks = new int(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, dialog, action] {
        if (QApplication::activeModalWidget() == dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete ticks;
            action();
        } else if (++*ticks > 400) {
            timer->stop();
            timer->deleteLater();
            delete ticks;
            ADD_FAILURE() << "expected window never became modal: " << dialog->objectName().toStdString();
            while (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                open->done(kModalCancel);
        }
    });
    timer->start();
}

// Runs `action` on the first message box that becomes modal.
void WhenMessageBox(std::function<void(QMessageBox*)> action)
{
    auto* timer = new QTimer;
    auto* ticks = new int(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, action] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box || ++*ticks > 400) {
            timer->stop();
            timer->deleteLater();
            delete ticks;
            if (box)
                action(box);
            else
                ADD_FAILURE() << "no message box became modal";
        }
    });
    timer->start();
}

void ClickLabel(QWidget* label)
{
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(label, &press);
    QCoreApplication::sendEvent(label, &release);
}

void TypeInto(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_0, Qt::NoModifier, QStringLiteral("0"));
    QCoreApplication::sendEvent(edit, &release);
}

struct Windows {
    Windows() { listing.assist = &assist; }
    ~Windows() { listing.assist = nullptr; }
    QApplication& app = App();   // first: the widgets need it
    TFuncAssistMenuForm menu;
    TFuncAssistEditForm editor;
    TextEditListing listing;
    std::vector<std::string> notices;
    FuncAssist assist{listing, menu, editor, [this](const std::string& t) { notices.push_back(t); }};

    QLineEdit* edit(int n) { return editor.findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(n)); }
    QCheckBox* box(int n) { return editor.findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(n)); }
};

TEST(TFuncAssistMenuForm, ShowsEveryEntryAtItsPlace)
{
    App();
    TFuncAssistMenuForm menu;
    EXPECT_EQ(menu.windowTitle(), QStringLiteral("Travin Function Assistant"));
    EXPECT_EQ(menu.size(), QSize(742, 217));
    EXPECT_FALSE(menu.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(menu.windowFlags() & Qt::WindowMaximizeButtonHint);

    struct Column { int x, first, last; };
    const Column columns[] = {{20, 0, 8},    {92, 9, 12},   {204, 13, 18}, {276, 19, 25},
                              {388, 26, 29}, {460, 30, 36}, {572, 37, 39}, {644, 40, 43}};
    for (const Column& c : columns) {
        for (int i = c.first; i <= c.last; ++i) {
            TClickLabel* label = menu.entryLabel(i);
            ASSERT_NE(label, nullptr) << i;
            EXPECT_EQ(label->tag(), i);
            EXPECT_EQ(label->text().toStdString(), FuncAssistCatalogue[i].Name) << i;
            EXPECT_EQ(label->pos(), QPoint(c.x, 56 + 16 * (i - c.first))) << i;
            EXPECT_TRUE(label->font().underline()) << i;
            EXPECT_EQ(label->font().pixelSize(), 15) << i;
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue)) << i;
            EXPECT_EQ(!label->toolTip().isEmpty(), i < 9) << "only General Purpose functions have hints: " << i;
        }
    }
    EXPECT_EQ(menu.entryLabel(0)->toolTip(), QStringLiteral("Returns asynchronous user input"));
    EXPECT_EQ(menu.entryLabel(7)->toolTip(), QStringLiteral(" \tReturns contents of Travin memory address"));
    EXPECT_EQ(menu.cancelButton()->geometry(), QRect(624, 180, 75, 21));

    // Headings: groups bold at y 16, column headings at y 40.
    int groupHeadings = 0, columnHeadings = 0;
    for (QLabel* l : menu.findChildren<QLabel*>()) {
        if (qobject_cast<TClickLabel*>(l)) continue;
        if (l->y() == 16 && l->font().bold() && l->font().pixelSize() == 16) ++groupHeadings;
        if (l->y() == 40 && !l->font().bold() && l->font().pixelSize() == 15) ++columnHeadings;
    }
    EXPECT_EQ(groupHeadings, 4);
    EXPECT_EQ(columnHeadings, 8);
}

TEST(TFuncAssistEditForm, AppliesTheSvtrajLayout)
{
    App();
    TFuncAssistEditForm editor;
    FuncAssistState state;
    TFuncAssistMenuForm menu;
    CallEditor core(state, editor, menu, [](const std::string&) {});
    editor.applyLayout(ComputeCallEditorLayout(24, true, state.CallArgs));
    core.SyncModeBits();

    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Travin Function Assistant"));
    EXPECT_FALSE(editor.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(editor.size(), QSize(534, 383));
    const int tops[] = {84, 104, 248, 268, 288, 308};
    for (int i = 0; i < 11; ++i) {
        QLineEdit* e = editor.ParamEditFor(i);
        EXPECT_EQ(!e->isHidden(), i < 6) << i;
        if (i < 6) {
            EXPECT_EQ(e->geometry(), QRect(16, tops[i], 121, 21)) << i;
            EXPECT_EQ(editor.ParamLabelFor(i)->pos(), QPoint(160, tops[i] + 4)) << i;
        }
    }
    for (int k = 0; k < 8; ++k) {
        QCheckBox* b = editor.BitCheckBoxFor(k);
        EXPECT_EQ(b->geometry(), QRect(160, 128 + 14 * k, 360, 17)) << k;
        EXPECT_EQ(b->text().toStdString(), FuncAssistCatalogue[24].Bits[k]) << k;
        EXPECT_EQ(b->isChecked(), ((151 >> k) & 1) != 0) << k;
    }
    EXPECT_EQ(editor.ParamEditFor(1)->text(), QStringLiteral("151"));
    EXPECT_EQ(editor.okButton()->geometry(), QRect(436, 348, 75, 25));
    EXPECT_EQ(editor.cancelButton()->geometry(), QRect(332, 348, 75, 25));
    EXPECT_TRUE(editor.findChild<QLabel*>(QStringLiteral("Label18"))->isHidden());
    EXPECT_EQ(editor.ParamEditFor(11), editor.ParamEditFor(0));
    EXPECT_EQ(editor.BitCheckBoxFor(-1), editor.BitCheckBoxFor(0));
}

// Every text of a fixed layout inside the room it is given: a label's text
// as wide as the label at most, a box's caption and mark inside the box.
void ExpectTextsFit(const QWidget& window, const std::string& where)
{
    for (const QLabel* l : window.findChildren<QLabel*>()) {
        if (l->isHidden() || l->text().isEmpty()) continue;
        const int need = l->fontMetrics().horizontalAdvance(l->text());
        EXPECT_LE(need, l->width()) << where << ": " << l->text().toStdString();
        EXPECT_LE(l->geometry().right(), window.width() - 1) << where << ": " << l->text().toStdString();
    }
    for (const QCheckBox* b : window.findChildren<QCheckBox*>()) {
        if (b->isHidden()) continue;
        EXPECT_LE(b->sizeHint().width(), b->width()) << where << ": " << b->text().toStdString();
    }
}

TEST(AssistantWindows, EveryTextFitsItsPlace)
{
    App();
    TFuncAssistMenuForm menu;
    ExpectTextsFit(menu, "menu");
    // Neighbours on a row never overlap: each label ends before the next
    // one on its row begins.
    std::vector<const QLabel*> labels;
    for (const QLabel* l : menu.findChildren<QLabel*>()) labels.push_back(l);
    for (const QLabel* a : labels)
        for (const QLabel* b : labels)
            if (a != b && a->y() == b->y() && a->x() < b->x()) {
                EXPECT_LT(a->geometry().right(), b->x()) << a->text().toStdString() << " / " << b->text().toStdString();
            }

    TFuncAssistEditForm editor;
    FuncAssistState state;
    for (int i = 0; i < FuncAssistEntryCount; ++i) {
        editor.applyLayout(ComputeCallEditorLayout(i, true, state.CallArgs));
        ExpectTextsFit(editor, FuncAssistCatalogue[i].Name);
    }
}

TEST(TFuncAssistEditForm, TabOrderIsFieldsThenOkCancelThenBitBoxes)
{
    App();
    TFuncAssistEditForm editor;
    std::vector<QString> expected;
    for (int i = 1; i <= 11; ++i) expected.push_back(QStringLiteral("Edit%1").arg(i));
    expected.push_back(QStringLiteral("Button1"));
    expected.push_back(QStringLiteral("Button2"));
    for (int k = 1; k <= 8; ++k) expected.push_back(QStringLiteral("CheckBox%1").arg(k));

    // Walk the focus chain from Edit1, keeping only the controls that take
    // the Tab key.
    std::vector<QString> order;
    QWidget* w = editor.ParamEditFor(0);
    do {
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(w->objectName());
        w = w->nextInFocusChain();
    } while (w != editor.ParamEditFor(0) && order.size() < 64);
    order.resize(std::min(order.size(), expected.size()));
    EXPECT_EQ(order, expected);
}

TEST(AssistantWindows, RightClickOnASelectedCallThenOkReplacesIt)
{
    Windows w;
    w.listing.setText("A = 1\r\n SVTRAJ(1, 151, 0,100000 ,1000,0)\r\nend");
    w.listing.setSelection(7, 33);
    ASSERT_EQ(w.listing.selectedText(), " SVTRAJ(1, 151, 0,100000 ,1000,0)");
    WhenModal(&w.editor, [&] {
        EXPECT_EQ(w.edit(4)->text(), QStringLiteral("100000"));
        EXPECT_TRUE(w.box(8)->isChecked());
        // The user changes the mode through its bits: bit 3 on gives 159.
        w.box(4)->click();
        EXPECT_EQ(w.edit(2)->text(), QStringLiteral("159"));
        w.editor.okButton()->click();
    });
    w.listing.rightClick();
    EXPECT_TRUE(w.notices.empty());
    EXPECT_EQ(w.listing.text(), "A = 1\r\nsvtraj(1,159,0,100000,1000,0)\r\nend");
    EXPECT_FALSE(w.editor.isVisible());
}

TEST(AssistantWindows, MenuStaysOpenAfterACancelledEditorAndOkClosesBoth)
{
    Windows w;
    w.listing.setText("x\r\ny");
    w.listing.setSelection(3, 0);   // the caret at the start of the second line

    WhenModal(&w.menu, [&] {
        WhenModal(&w.editor, [&] { w.editor.cancelButton()->click(); });
        ClickLabel(w.menu.entryLabel(15));
        // Back in the menu, which is still showing.
        WhenModal(&w.menu, [&] {
            WhenModal(&w.editor, [&] {
                TypeInto(w.edit(2), QStringLiteral("256"));
                for (int k = 1; k <= 8; ++k) {
                    EXPECT_TRUE(w.box(k)->isEnabled()) << k;
                    EXPECT_FALSE(w.box(k)->isChecked()) << k;
                }
                TypeInto(w.edit(2), QStringLiteral("12x"));
                for (int k = 1; k <= 8; ++k) EXPECT_FALSE(w.box(k)->isEnabled()) << k;
                TypeInto(w.edit(2), QStringLiteral("5"));
                w.editor.okButton()->click();
            });
            ClickLabel(w.menu.entryLabel(32));   // Daska stopmot
        });
    });
    w.listing.rightClick();
    EXPECT_FALSE(w.menu.isVisible());
    EXPECT_TRUE(w.notices.empty()) << "an empty selection opens the menu without a notice";
    EXPECT_EQ(w.listing.text(), "x\r\nstopmot(1,5)y");
}

TEST(AssistantWindows, BlankFieldShowsTheEditorAgainWithItsFields)
{
    Windows w;
    w.listing.setText("poke(1,2)");
    w.listing.setSelection(0, 9);
    WhenModal(&w.editor, [&] {
        w.edit(1)->setText(QStringLiteral("40"));
        w.edit(2)->setText(QStringLiteral(" "));
        w.editor.okButton()->click();
        WhenModal(&w.editor, [&] {
            EXPECT_EQ(w.edit(1)->text(), QStringLiteral("40"));
            EXPECT_EQ(w.edit(2)->text(), QStringLiteral(" "));
            w.edit(2)->setText(QStringLiteral("9"));
            w.editor.okButton()->click();
        });
    });
    w.listing.rightClick();
    ASSERT_EQ(w.notices.size(), 1u);
    EXPECT_EQ(w.notices[0], "Empty Parameter Field - Please Enter Value");
    EXPECT_EQ(w.listing.text(), "poke(40,9)");
}

TEST(AssistantWindows, EscapeDoesNotEndTheEditor)
{
    Windows w;
    w.listing.setText("getpos(1)");
    w.listing.setSelection(0, 9);
    WhenModal(&w.editor, [&] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&w.editor, &esc);
        w.editor.close();
        EXPECT_TRUE(w.editor.isVisible());
        w.editor.cancelButton()->click();
    });
    w.listing.rightClick();
    EXPECT_EQ(w.listing.text(), "getpos(1)");
}

TEST(AssistantWindows, NeitherEscapeNorEnterEndsTheMenu)
{
    Windows w;
    w.listing.setText("x");
    w.listing.setSelection(0, 0);
    bool stillShowing = false;
    WhenModal(&w.menu, [&] {
        w.menu.cancelButton()->setFocus();
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(w.menu.cancelButton(), &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QCoreApplication::sendEvent(w.menu.cancelButton(), &release);
        }
        stillShowing = w.menu.isVisible();
        w.menu.cancelButton()->click();
    });
    w.listing.rightClick();
    EXPECT_TRUE(stillShowing);
    EXPECT_FALSE(w.menu.isVisible());
    EXPECT_EQ(w.listing.text(), "x");
}

TEST(AssistantWindows, MismatchMessageComesBeforeTheEditorWithDefaults)
{
    App();
    TFuncAssistMenuForm menu;
    TFuncAssistEditForm editor;
    TextEditListing listing;
    FuncAssist assist(listing, menu, editor, ShowAssistMessage);
    listing.assist = &assist;
    listing.setText("x = getpos");
    listing.setSelection(4, 6);

    bool boxSeen = false;
    WhenMessageBox([&](QMessageBox* box) {
        boxSeen = true;
        EXPECT_EQ(box->text(), QStringLiteral("Function Parameter Mismatch - Using Defaults"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_FALSE(box->windowTitle().isEmpty()) << "the default caption, not an empty one";
        EXPECT_FALSE(editor.isVisible()) << "the message comes first";
        WhenModal(&editor, [&] {
            EXPECT_EQ(editor.ParamEditFor(0)->text(), QStringLiteral("1"));
            editor.okButton()->click();
        });
        box->button(QMessageBox::Ok)->click();
    });
    listing.rightClick();
    listing.assist = nullptr;
    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(listing.text(), "x = getpos(1)");
}

TEST(AssistantWindows, EditorAndMenuAreCentredOnTheirOwner)
{
    App();
    QWidget owner;
    owner.setGeometry(100, 80, 900, 640);
    owner.show();
    TFuncAssistMenuForm menu(&owner);
    TFuncAssistEditForm editor(&owner);
    TextEditListing listing;
    FuncAssist assist(listing, menu, editor, [](const std::string&) {});
    const QPoint centre = owner.frameGeometry().center();
    auto near = [&](const QWidget& w) {
        // Frame margins and rounding move the centre by a pixel or two.
        return (w.frameGeometry().center() - centre).manhattanLength() <= 4;
    };
    WhenModal(&menu, [&] {
        EXPECT_TRUE(near(menu)) << "menu centre " << menu.frameGeometry().center().x() << "," << menu.frameGeometry().center().y() << " owner " << centre.x() << "," << centre.y();
        WhenModal(&editor, [&] {
            EXPECT_TRUE(near(editor)) << "editor centre " << editor.frameGeometry().center().x() << "," << editor.frameGeometry().center().y();
            editor.cancelButton()->click();
        });
        ClickLabel(menu.entryLabel(24));
        menu.cancelButton()->click();
    });
    EXPECT_FALSE(assist.OpenFuncAssist(""));
}

// After the blank-field notice the editor comes back exactly where it was,
// also where the user had moved it, so the next click lands in its field.
TEST(AssistantWindows, EditorKeepsItsPlaceAfterTheBlankFieldNotice)
{
    App();
    QWidget owner;
    owner.setGeometry(100, 80, 900, 640);
    owner.show();
    TFuncAssistMenuForm menu(&owner);
    TFuncAssistEditForm editor(&owner);
    TextEditListing listing;
    FuncAssist assist(listing, menu, editor, ShowAssistMessage);
    listing.assist = &assist;
    listing.setText("poke(1,2)");
    listing.setSelection(0, 9);

    std::vector<QRect> places;
    const auto blankThenOk = [&](std::function<void()> next) {
        editor.ParamEditFor(1)->setText(QString());
        WhenMessageBox([&, next](QMessageBox* box) {
            WhenModal(&editor, next);
            box->button(QMessageBox::Ok)->click();
        });
        editor.okButton()->click();
    };
    WhenModal(&editor, [&] {
        places.push_back(editor.geometry());
        blankThenOk([&] {
            places.push_back(editor.geometry());
            editor.move(editor.pos() + QPoint(-60, 45));   // the user drags it
            places.push_back(editor.geometry());
            blankThenOk([&] {
                places.push_back(editor.geometry());
                editor.ParamEditFor(1)->setText(QStringLiteral("7"));
                editor.okButton()->click();
            });
        });
    });
    listing.rightClick();
    listing.assist = nullptr;
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[1], places[0]);
    EXPECT_EQ(places[3], places[2]);
    EXPECT_NE(places[2], places[0]);
    EXPECT_EQ(listing.text(), "poke(1,7)");
}

TEST(AssistantWindows, RightClickInTheWorkbenchListingKeepsTextAfterTheCall)
{
    App();
    TFuncAssistMenuForm menu;
    TFuncAssistEditForm editor;
    ListingPane pane;
    FuncAssist assist(static_cast<ListingView&>(pane), menu, editor, [](const std::string&) {});
    pane.onMouseDown = [&assist](Qt::MouseButton b) { assist.RichEdit1MouseDown(ToAssistButton(b)); };
    pane.setLines({"A = 1", "x = getpos(2) + 5", "end"});
    pane.setSelection(11, 13);
    ASSERT_EQ(pane.selectedText(), "getpos(2) + 5");

    auto press = [&pane](Qt::MouseButton button) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(4, 4), QPointF(4, 4), button, button, Qt::ControlModifier);
        QCoreApplication::sendEvent(pane.viewport(), &e);
    };
    press(Qt::MiddleButton);
    EXPECT_FALSE(editor.isVisible());

    WhenModal(&editor, [&] {
        EXPECT_EQ(editor.ParamEditFor(0)->text(), QStringLiteral("2"));
        editor.ParamEditFor(0)->setText(QStringLiteral("3"));
        editor.okButton()->click();
    });
    press(Qt::RightButton);
    pane.onMouseDown = nullptr;
    EXPECT_EQ(pane.lines(), (std::vector<std::string>{"A = 1", "x = getpos(3) + 5", "end"}));
}

}  // namespace
