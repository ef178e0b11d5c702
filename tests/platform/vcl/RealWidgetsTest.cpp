// The platform's real Qt widgets worked as a person would: once a dialog is up, the test finds its widgets
// and types into them or presses their buttons; keys come as the window system sends them. No test driver.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/Messages.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Files.h"

using namespace vcl;

namespace {

// Once a modal dialog of type T is up, `act` works it. A dialog that never shows fails the test; one that
// `act` leaves open is rejected after a while and fails the test too, so nothing hangs.
template <class T = QDialog>
void WhenShown(std::function<void(T&)> act)
{
    const auto started = std::chrono::steady_clock::now();
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            QTimer::singleShot(10000, dialog, [guard = QPointer<T>(dialog)] {
                if (auto* open = qobject_cast<QDialog*>(guard.data()); open && open->isVisible()) {
                    ADD_FAILURE() << "the dialog was left open";
                    open->reject();
                }
            });
            act(*dialog);
            return;
        }
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(10)) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no dialog showed";
        }
    });
    timer->start();
}

QPushButton* ButtonCaptioned(QWidget& dialog, const QString& text)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text && button->isVisible())
            return button;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

void Press(QWidget& dialog, const QString& caption)
{
    if (QPushButton* button = ButtonCaptioned(dialog, caption))
        QTest::mouseClick(button, Qt::LeftButton);
}

// Key presses, one a character; a letter beyond ASCII comes as a keyboard layout would send it.
void TypeInto(QLineEdit& edit, const QString& text)
{
    edit.setFocus();
    edit.selectAll();
    for (QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(&edit, c.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(&edit, &press);
            QCoreApplication::sendEvent(&edit, &release);
        }
    }
}

class RealWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application->Initialize();
        Application->SetTitle("Real Dialogs");
        test::SetPersonAtScreen(true);
        // The window the dialogs belong over; showing it also starts the window system.
        owner_ = new TForm(Application);
        owner_->SetCaption("Owner");
        owner_->SetBounds(100, 100, 400, 300);
        owner_->Show();
        Application->ProcessMessages();
    }
    void TearDown() override
    {
        delete owner_.get();
        Application->ProcessMessages();
        test::SetPersonAtScreen(false);
    }

    TComponentRef<TForm> owner_;
};

}  // namespace

TEST_F(RealWidgetsTest, MessageBoxesShowTheirTextsAndAnswerTheButtonPressed)
{
    QString title, text;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        Press(box, "&No");
    });
    EXPECT_EQ(MessageDlg("Are you sure?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
    EXPECT_EQ(title, "Confirm");
    EXPECT_EQ(text, "Are you sure?");

    WhenShown<QMessageBox>([](QMessageBox& box) { Press(box, "&Yes"); });
    EXPECT_EQ(MessageDlg("Are you sure?", mtWarning, {mbYes, mbNo}, 0), mrYes);

    // Escape answers with the box's cancel button.
    WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(MessageDlg("Stop?", mtWarning, {mbOK, mbCancel}, 0), mrCancel);

    // A plain message: the application's title and one OK, which Return presses.
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        QTest::keyClick(&box, Qt::Key_Return);
    });
    ShowMessage("Done.");
    EXPECT_EQ(title, "Real Dialogs");
}

TEST_F(RealWidgetsTest, AMessageBoxIsAtLeastAsWideAsItsCaption)
{
    const AnsiString caption = "A caption far longer than the short text of the message below it";
    int width = 0;
    int needed = 0;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        width = box.width();
        QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        font.setBold(true);
        needed = QFontMetrics(font).horizontalAdvance(box.windowTitle());
        Press(box, "OK");
    });
    Application->MessageBox("Ok?", caption, MB_OK);
    EXPECT_GT(needed, 0);
    EXPECT_GE(width, needed);
}

TEST_F(RealWidgetsTest, InputBoxGivesTheTypedTextOnOkAndKeepsTheValueOnCancel)
{
    WhenShown<QInputDialog>([](QInputDialog& box) {
        EXPECT_EQ(box.labelText(), "Enter the name of the help file.");
        auto* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), "old.hlp");
        TypeInto(*edit, "Caf\u00e9.hlp");
        Press(box, "OK");
    });
    AnsiString value = "old.hlp";
    EXPECT_TRUE(InputQuery("Help File Name", "Enter the name of the help file.", value));
    EXPECT_EQ(value, "Caf\xe9.hlp");  // back in the program's code page

    WhenShown<QInputDialog>([](QInputDialog& box) {
        TypeInto(*box.findChild<QLineEdit*>(), "typed");
        Press(box, "Cancel");
    });
    EXPECT_FALSE(InputQuery("Help File Name", "Enter the name of the help file.", value));
    EXPECT_EQ(value, "Caf\xe9.hlp");
}

TEST_F(RealWidgetsTest, OpenAndSaveDialogsGiveWindowsPaths)
{
    win::CreateDirectory("C:\\Docs", nullptr);
    rtl::WriteWholeFile("C:\\Docs\\a.wkp", "1");
    std::unique_ptr<TOpenDialog> open(new TOpenDialog(owner_));
    open->SetFilter("Scrivane Project|*.wkp|All Files|*.*");
    open->SetDefaultExt("wkp");
    open->SetInitialDir("C:\\Docs");
    open->SetOptions({ofFileMustExist});
    QString title;
    WhenShown<QFileDialog>([&](QFileDialog& box) {
        title = box.windowTitle();
        auto* name = box.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        TypeInto(*name, "a.wkp");
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(open->Execute());
    EXPECT_EQ(title, "Open");
    EXPECT_TRUE(rtl::SameText(open->FileName(), "C:\\Docs\\a.wkp")) << open->FileName();

    // Save: a bare name takes the default extension; an existing file is replaced only when confirmed.
    std::unique_ptr<TSaveDialog> save(new TSaveDialog(owner_));
    save->SetFilter("Scrivane Project|*.wkp");
    save->SetDefaultExt("wkp");
    save->SetInitialDir("C:\\Docs");
    save->SetOptions({ofOverwritePrompt});
    WhenShown<QFileDialog>([](QFileDialog& box) {
        TypeInto(*box.findChild<QLineEdit*>("fileNameEdit"), "b");
        QTest::keyClick(box.findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
    });
    ASSERT_TRUE(save->Execute());
    EXPECT_TRUE(rtl::SameText(save->FileName(), "C:\\Docs\\b.wkp")) << save->FileName();

    bool asked = false;
    WhenShown<QFileDialog>([&](QFileDialog& box) {
        WhenShown<QMessageBox>([&](QMessageBox& confirm) {
            asked = true;
            Press(confirm, "&Yes");
        });
        TypeInto(*box.findChild<QLineEdit*>("fileNameEdit"), "a");
        QTest::keyClick(box.findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
    });
    ASSERT_TRUE(save->Execute());
    EXPECT_TRUE(asked);
    EXPECT_TRUE(rtl::SameText(save->FileName(), "C:\\Docs\\a.wkp")) << save->FileName();

    WhenShown<QFileDialog>([](QFileDialog& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_FALSE(save->Execute());
}

TEST_F(RealWidgetsTest, FontDialogKeepsAMissingFaceAndOffersTheColour)
{
    std::unique_ptr<TFontDialog> dialog(new TFontDialog(owner_));
    dialog->Font()->SetName("No Such Face Here");
    dialog->Font()->SetSize(12);
    dialog->Font()->SetStyle({fsBold});
    dialog->Font()->SetColor(clRed);

    // OK without a change keeps the face asked for, although the dialog could only show a substitute.
    WhenShown<QFontDialog>([](QFontDialog& box) {
        auto* colors = box.findChild<QComboBox*>("fontColor");
        ASSERT_NE(colors, nullptr);
        EXPECT_EQ(colors->currentText(), "Red");
        Press(box, "OK");
    });
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->Font()->Name(), "No Such Face Here");
    EXPECT_EQ(dialog->Font()->Size(), 12);
    EXPECT_TRUE(dialog->Font()->Style().Contains(fsBold));
    EXPECT_EQ(dialog->Font()->Color(), clRed);

    WhenShown<QFontDialog>([](QFontDialog& box) {
        auto* colors = box.findChild<QComboBox*>("fontColor");
        colors->setCurrentIndex(colors->findText("Navy"));
        Press(box, "OK");
    });
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->Font()->Color(), clNavy);

    WhenShown<QFontDialog>([](QFontDialog& box) {
        auto* colors = box.findChild<QComboBox*>("fontColor");
        colors->setCurrentIndex(colors->findText("Lime"));
        Press(box, "Cancel");
    });
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(dialog->Font()->Color(), clNavy);
}

TEST_F(RealWidgetsTest, ColourDialogGivesTheChosenColour)
{
    std::unique_ptr<TColorDialog> dialog(new TColorDialog(owner_));
    dialog->SetColor(clRed);
    WhenShown<QColorDialog>([](QColorDialog& box) {
        EXPECT_EQ(box.currentColor(), QColor(255, 0, 0));
        QLineEdit* html = nullptr;
        for (QLineEdit* edit : box.findChildren<QLineEdit*>()) {
            if (edit->text().startsWith('#'))
                html = edit;
        }
        ASSERT_NE(html, nullptr);
        TypeInto(*html, "#008000");
        QTest::keyClick(html, Qt::Key_Tab);
        Press(box, "OK");
    });
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->Color(), clGreen);

    WhenShown<QColorDialog>([](QColorDialog& box) { Press(box, "Cancel"); });
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(dialog->Color(), clGreen);
}

// A progress window that closes itself (Release) just before a message box: the box's own loop delivers the
// release, and the form must neither take the box with it nor go while the code below the box runs.
TEST_F(RealWidgetsTest, AFormReleasedBeforeABoxWaitsForTheBoxAndLeavesTheScreen)
{
    TComponentRef<TForm> progress(new TForm(Application));
    progress->SetBounds(150, 150, 200, 60);
    progress->Show();
    Application->ProcessMessages();
    progress->Release();

    bool aliveWhileBoxUp = false, visibleWhileBoxUp = true;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        QTest::qWait(50);  // the box's loop delivers the release
        aliveWhileBoxUp = progress.get() != nullptr;
        visibleWhileBoxUp = progress && progress->Visible();
        EXPECT_TRUE(box.isVisible());
        Press(box, "OK");
    });
    ShowMessage("Finished.");
    EXPECT_TRUE(aliveWhileBoxUp);
    EXPECT_FALSE(visibleWhileBoxUp);
    Application->ProcessMessages();
    EXPECT_EQ(progress.get(), nullptr);
}

// The window a box was placed over is freed while the box is open: the box stays and answers.
TEST_F(RealWidgetsTest, FreeingTheWindowBelowAnOpenBoxLeavesTheBox)
{
    TComponentRef<TForm> below(new TForm(Application));
    below->SetBounds(150, 150, 200, 60);
    below->Show();
    Application->ProcessMessages();
    QPointer<QMessageBox> seen;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        seen = &box;
        below->Release();  // released inside the box's loop: it goes at once
        QTest::qWait(50);
        EXPECT_EQ(below.get(), nullptr);
        ASSERT_FALSE(seen.isNull());
        EXPECT_TRUE(box.isVisible());
        Press(box, "&No");
    });
    EXPECT_EQ(MessageDlg("Keep it?", mtConfirmation, {mbYes, mbNo}, 0), mrNo);
}

// A modal form released by the handler that then shows another modal form stays usable until that
// handler's loop has it back.
TEST_F(RealWidgetsTest, AFormReleasedBeforeAModalFormIsFreedAfterIt)
{
    TComponentRef<TForm> first(new TForm(Application));
    first->Show();
    Application->ProcessMessages();
    first->Release();
    std::unique_ptr<TForm> second(new TForm(Application));
    second->SetCaption("Second");
    bool aliveInside = false;
    QTimer::singleShot(50, [&] {
        aliveInside = first.get() != nullptr;
        second->SetModalResult(mrOk);
    });
    EXPECT_EQ(second->ShowModal(), mrOk);
    EXPECT_TRUE(aliveInside);
    Application->ProcessMessages();
    EXPECT_EQ(first.get(), nullptr);
}

// On Windows a key goes to the focused window alone. Qt offers a key the focused widget ignored to its
// parents too; a shortcut whose command failed used to run again for each parent control.
TEST_F(RealWidgetsTest, AKeyReachesOnlyTheFocusedControlEvenWhenItsShortcutFails)
{
    auto* menu = new TMainMenu(owner_);
    auto* file = new TMenuItem(menu);
    file->SetCaption("&File");
    auto* save = new TMenuItem(menu);
    save->SetCaption("&Save");
    save->SetShortCut(ShortCut('S', {ssCtrl}));
    int runs = 0;
    save->OnClick = [&](TObject*) {
        ++runs;
        throw rtl::Exception("Cannot create file");
    };
    file->Add(save);
    menu->Items()->Add(file);
    owner_->SetMenu(menu);
    auto* panel = new TPanel(owner_);
    panel->SetParent(owner_);
    panel->SetBounds(0, 0, 200, 200);
    auto* list = new TListBox(owner_);
    list->SetParent(panel);
    list->SetBounds(10, 10, 100, 100);
    int keyDowns = 0;
    panel->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++keyDowns; };
    std::vector<AnsiString> errors;
    Application->OnException = [&](TObject*, const rtl::Exception& e) { errors.push_back(e.Message()); };
    Application->ProcessMessages();
    list->SetFocus();
    Application->ProcessMessages();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);

    QTest::keyClick(focused, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(errors.size(), 1u);
    QTest::keyClick(focused, Qt::Key_A);
    EXPECT_EQ(keyDowns, 0);  // the panel is not the focused control
    Application->OnException = nullptr;
}

// Two menus with the same mnemonic: Alt+P opens the first each time, and the letter that follows goes to its
// items. Qt took turns, so every second "Alt+P, H" went to the other menu.
TEST_F(RealWidgetsTest, AMnemonicSharedByTwoMenusAlwaysOpensTheFirst)
{
    auto* menu = new TMainMenu(owner_);
    int headers = 0;
    int deletes = 0;
    auto addMenu = [&](const char* caption, const char* itemCaption, int& count) {
        auto* top = new TMenuItem(menu);
        top->SetCaption(caption);
        auto* item = new TMenuItem(menu);
        item->SetCaption(itemCaption);
        item->OnClick = [&count](TObject*) { ++count; };
        top->Add(item);
        menu->Items()->Add(top);
    };
    addMenu("&Page", "Page &Header", headers);
    addMenu("&Pictures", "&Delete", deletes);
    addMenu("&Help", "&Delete", deletes);
    owner_->SetMenu(menu);
    auto* list = new TListBox(owner_);
    list->SetParent(owner_);
    list->SetBounds(10, 10, 100, 100);
    Application->ProcessMessages();
    list->SetFocus();
    Application->ProcessMessages();
    for (int press = 1; press <= 3; ++press) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        QTest::keyClick(focused, Qt::Key_P, Qt::AltModifier);
        Application->ProcessMessages();
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr) << press;
        QTest::keyClick(popup, Qt::Key_H);
        Application->ProcessMessages();
        EXPECT_EQ(headers, press);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << press;
    }
    EXPECT_EQ(deletes, 0);
}

// A drop-down menu is a window of its own; it used to take the desktop's font instead of its bar's.
TEST_F(RealWidgetsTest, ADropDownMenuHasItsBarsFont)
{
    owner_->Font()->SetName("Courier New");
    owner_->Font()->SetHeight(-17);
    auto* menu = new TMainMenu(owner_);
    auto* file = new TMenuItem(menu);
    file->SetCaption("&File");
    auto* exit = new TMenuItem(menu);
    exit->SetCaption("E&xit");
    file->Add(exit);
    menu->Items()->Add(file);
    owner_->SetMenu(menu);
    auto* bar = WidgetOf(*owner_)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    auto* dropDown = bar->actions().front()->menu();
    ASSERT_NE(dropDown, nullptr);
    EXPECT_EQ(bar->font().pixelSize(), 17);
    EXPECT_EQ(dropDown->font().family(), bar->font().family());
    EXPECT_EQ(dropDown->font().pixelSize(), bar->font().pixelSize());
}

// The input and message boxes look like the forms: the forms' font, and buttons without the desktop
// style's icons.
TEST_F(RealWidgetsTest, InputAndMessageBoxesHaveTheFormsFontAndPlainButtons)
{
    // A desktop style that puts icons on dialog buttons, as some desktops' do.
    class IconsOnButtons : public QProxyStyle {
    public:
        using QProxyStyle::QProxyStyle;
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                      QStyleHintReturn* data) const override
        {
            if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
                return 1;
            return QProxyStyle::styleHint(hint, option, widget, data);
        }
    };
    const QString styleName = QApplication::style()->name();
    QApplication::setStyle(new IconsOnButtons(QStyleFactory::create(styleName)));
    const int formsPixels = std::abs(TFont().Height());
    auto check = [formsPixels](QDialog& box) {
        EXPECT_EQ(box.font().pixelSize(), formsPixels);
        auto buttons = box.findChildren<QPushButton*>();
        EXPECT_FALSE(buttons.isEmpty());
        for (QPushButton* button : buttons)
            EXPECT_TRUE(button->icon().isNull()) << button->text().toStdString();
    };
    WhenShown<QInputDialog>([&](QInputDialog& box) {
        check(box);
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    AnsiString value = "x";
    EXPECT_FALSE(InputQuery("Name", "Name:", value));
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        check(box);
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    MessageDlg("Delete?", mtConfirmation, {mbYes, mbNo}, 0);
    QApplication::setStyle(QStyleFactory::create(styleName));
}

// The file dialog's details: the name column takes the room and the others show in full.
TEST_F(RealWidgetsTest, FileDialogColumnsFitTheirContents)
{
    std::unique_ptr<TOpenDialog> open(new TOpenDialog(owner_));
    open->SetInitialDir("C:\\");
    WhenShown<QFileDialog>([](QFileDialog& box) {
        auto* tree = box.findChild<QTreeView*>("treeView");
        ASSERT_NE(tree, nullptr);
        QHeaderView* header = tree->header();
        EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::ResizeToContents) << column;
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    EXPECT_FALSE(open->Execute());
}
