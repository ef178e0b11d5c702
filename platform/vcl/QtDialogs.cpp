// The real message boxes and common dialogs, on Qt's own (reached with a person at the screen).
//
// No dialog has a Qt parent: Qt deletes a parent's children with it, and the window a dialog is placed over
// may be freed while the dialog runs (a progress window that closes itself, say). The dialog is linked to
// that window for the window system only, and centred over it when it shows.
#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeView>
#include <QWindow>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"

namespace vcl::detail {

namespace {

// The window a dialog belongs over: the active form, unless it is on its way out.
QWidget* PlacementWindow()
{
    TCustomForm* form = Screen->ActiveForm();
    if (form && (form->Releasing() || !form->Visible()))
        form = Screen->PreviousActiveForm(form);
    if (!form || form->Releasing())
        return nullptr;
    QWidget* widget = WidgetOf(*form);
    return widget ? widget->window() : nullptr;
}

template <class TDialog>
class TPlacedDialog : public TDialog {
public:
    TPlacedDialog() : TDialog(nullptr), over_(PlacementWindow())
    {
        if (over_ && over_->windowHandle()) {
            this->winId();
            if (QWindow* handle = this->windowHandle())
                handle->setTransientParent(over_->windowHandle());
        }
    }

    // Runs the dialog as a modal loop of the framework.
    int Run()
    {
        TNestedLoop loop;
        return this->exec();
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        // Grey buttons as on the forms: no tick and cross icons from the desktop's style.
        for (QAbstractButton* button : this->template findChildren<QAbstractButton*>())
            button->setIcon(QIcon());
        TDialog::showEvent(event);
        if (over_ && over_->isVisible() && !event->spontaneous())
            this->move(over_->frameGeometry().center() - this->rect().center());
    }

private:
    QPointer<QWidget> over_;
};

// The width a title needs in the window manager's bar: the text in the title font (bold, as most bars
// draw it) and room for the window's icon and its buttons.
int TitleWidth(const QString& title)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    constexpr int IconAndButtons = 4 * 24;
    return QFontMetrics(font).horizontalAdvance(title) + IconAndButtons;
}

// A message box sizes itself to its text alone; a spanning spacer keeps it as wide as its title, so the
// window manager does not cut the caption short.
void KeepTitleWhole(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(TitleWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// The boxes' text in the font a new form has, not the desktop's.
QFont FormsFont()
{
    return ToQFont(TFont());
}

}  // namespace

int QtMessageBox(const test::TShownMessage& shown, const std::vector<int>& results, int defaultResult, int escapeResult)
{
    EnsureQtApplication();
    TPlacedDialog<QMessageBox> box;
    box.setFont(FormsFont());
    box.setWindowTitle(ToQString(shown.Caption));
    box.setText(ToQString(shown.Text));
    if (shown.Type == "mtWarning")
        box.setIcon(QMessageBox::Warning);
    else if (shown.Type == "mtError")
        box.setIcon(QMessageBox::Critical);
    else if (shown.Type == "mtInformation")
        box.setIcon(QMessageBox::Information);
    else if (shown.Type == "mtConfirmation")
        box.setIcon(QMessageBox::Question);
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (size_t i = 0; i < shown.Buttons.size() && i < results.size(); ++i) {
        QPushButton* button = box.addButton(ToQString(shown.Buttons[i]), QMessageBox::ActionRole);
        buttons.emplace_back(button, results[i]);
        if (results[i] == defaultResult)
            box.setDefaultButton(button);
        if (results[i] == escapeResult)
            box.setEscapeButton(button);
    }
    KeepTitleWhole(box);
    box.Run();
    for (const auto& [button, result] : buttons) {
        if (box.clickedButton() == button)
            return result;
    }
    return escapeResult;
}

bool QtInputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)
{
    EnsureQtApplication();
    TPlacedDialog<QInputDialog> box;
    box.setFont(FormsFont());
    box.setWindowTitle(ToQString(caption));
    box.setLabelText(ToQString(prompt));
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(ToQString(value));
    if (box.Run() != QDialog::Accepted)
        return false;
    value = FromQString(box.textValue());
    return true;
}

bool QtFileDialog(const TOpenDialog& dialog, AnsiString& fileName, int& filterIndex)
{
    EnsureQtApplication();
    QStringList filters;
    for (const auto& [description, patterns] : SplitDialogFilter(dialog.Filter())) {
        QString p = ToQString(patterns);
        p.replace(';', ' ');
        filters << ToQString(description) + " (" + p + ")";
    }
    TPlacedDialog<QFileDialog> box;
    // Without a title of its own the dialog says what it does ("Open", "Save As").
    if (!dialog.Title().empty())
        box.setWindowTitle(ToQString(dialog.Title()));
    // Qt's own dialog everywhere, so a desktop's native one cannot differ in what it accepts.
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setAcceptMode(dialog.IsSaveDialog() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(dialog.IsSaveDialog() ? QFileDialog::AnyFile
                    : dialog.Options().Contains(ofFileMustExist) ? QFileDialog::ExistingFile
                                                                 : QFileDialog::AnyFile);
    if (!dialog.Options().Contains(ofOverwritePrompt))
        box.setOption(QFileDialog::DontConfirmOverwrite);
    // The details view, whose name column takes the room while the others fit their contents.
    box.setViewMode(QFileDialog::Detail);
    if (auto* tree = box.findChild<QTreeView*>("treeView")) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
        int index = dialog.FilterIndex() - 1;
        if (index >= 0 && index < filters.size())
            box.selectNameFilter(filters[index]);
    }
    if (!dialog.DefaultExt().empty())
        box.setDefaultSuffix(ToQString(dialog.DefaultExt()));
    if (!dialog.InitialDir().empty()) {
        if (auto host = win::HostPathFromWindows(dialog.InitialDir()))
            box.setDirectory(QString::fromStdString(*host));
    }
    if (!dialog.FileName().empty()) {
        if (auto host = win::HostPathFromWindows(dialog.FileName()))
            box.selectFile(QString::fromStdString(*host));
    }
    if (box.Run() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return false;
    fileName = win::WindowsPathFromHost(box.selectedFiles().front().toStdString());
    int chosen = static_cast<int>(filters.indexOf(box.selectedNameFilter()));
    if (chosen >= 0)
        filterIndex = chosen + 1;
    return true;
}

namespace {

// The colours the font dialog offers, as the classic one does.
struct TNamedColor {
    const char* Name;
    TColor Color;
};
constexpr TNamedColor FontColors[] = {
    {"Black", clBlack}, {"Maroon", clMaroon}, {"Green", clGreen}, {"Olive", clOlive}, {"Navy", clNavy},
    {"Purple", clPurple}, {"Teal", clTeal}, {"Gray", clGray}, {"Silver", clSilver}, {"Red", clRed},
    {"Lime", clLime}, {"Yellow", clYellow}, {"Blue", clBlue}, {"Fuchsia", clFuchsia}, {"Aqua", clAqua},
    {"White", clWhite},
};

// Adds "Color:" under the dialog's effects (the box with the underline check box).
QComboBox* AddColorChoice(QFontDialog& box, TColor preset)
{
    QGroupBox* effects = nullptr;
    for (QGroupBox* group : box.findChildren<QGroupBox*>()) {
        if (!group->findChildren<QCheckBox*>().isEmpty() && group->layout())
            effects = group;
    }
    if (!effects)
        return nullptr;
    auto* label = new QLabel(QStringLiteral("&Color:"), effects);
    auto* colors = new QComboBox(effects);
    colors->setObjectName(QStringLiteral("fontColor"));
    label->setBuddy(colors);
    for (const TNamedColor& c : FontColors) {
        QPixmap swatch(12, 12);
        swatch.fill(ToQColor(c.Color));
        colors->addItem(QIcon(swatch), QString::fromLatin1(c.Name), QVariant::fromValue(static_cast<qint64>(c.Color)));
    }
    int index = colors->findData(QVariant::fromValue(static_cast<qint64>(preset)));
    if (index < 0) {
        QPixmap swatch(12, 12);
        swatch.fill(ToQColor(preset));
        colors->addItem(QIcon(swatch), QStringLiteral("Custom"), QVariant::fromValue(static_cast<qint64>(preset)));
        index = colors->count() - 1;
    }
    colors->setCurrentIndex(index);
    effects->layout()->addWidget(label);
    effects->layout()->addWidget(colors);
    return colors;
}

}  // namespace

bool QtFontDialog(TFont& font)
{
    EnsureQtApplication();
    TPlacedDialog<QFontDialog> box;
    box.setOption(QFontDialog::DontUseNativeDialog);
    // A face this machine lacks shows as the face it falls back to, with the preset's size and style; taking
    // that unchanged keeps the face asked for.
    QFont preset = ToQFont(font);
    box.setCurrentFont(preset);
    if (box.currentFont().family() != preset.family()) {
        preset.setFamily(QFontInfo(preset).family());
        box.setCurrentFont(preset);
    }
    const QString shownFamily = box.currentFont().family();
    QComboBox* colors = AddColorChoice(box, font.Color());
    if (box.Run() != QDialog::Accepted)
        return false;
    const AnsiString presetName = font.Name();
    const QFont chosen = box.selectedFont();
    AssignQFont(chosen, font);
    if (chosen.family() == shownFamily)
        font.SetName(presetName);
    if (colors && colors->currentIndex() >= 0)
        font.SetColor(static_cast<TColor>(colors->currentData().toLongLong()));
    return true;
}

bool QtColorDialog(TColor& color)
{
    EnsureQtApplication();
    TPlacedDialog<QColorDialog> box;
    box.setOption(QColorDialog::DontUseNativeDialog);
    box.setCurrentColor(ToQColor(color));
    if (box.Run() != QDialog::Accepted)
        return false;
    QColor chosen = box.selectedColor();
    if (!chosen.isValid())
        return false;
    color = RGBColor(static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                     static_cast<uint8_t>(chosen.blue()));
    return true;
}

}  // namespace vcl::detail
