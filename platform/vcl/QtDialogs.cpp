// The real message boxes and common dialogs, on Qt's own (only reached with a person at the screen).
#include <QAbstractButton>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/vcl/Dialogs.h"
#include "platform/vcl/QtSeam.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"

namespace vcl::detail {

namespace {

QWidget* ActiveWindow()
{
    TCustomForm* form = Screen->ActiveForm();
    return form ? WidgetOf(*form) : nullptr;
}

}  // namespace

int QtMessageBox(const test::TShownMessage& shown, const std::vector<int>& results, int defaultResult, int escapeResult)
{
    EnsureQtApplication();
    QMessageBox box(ActiveWindow());
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
    box.exec();
    for (const auto& [button, result] : buttons) {
        if (box.clickedButton() == button)
            return result;
    }
    return escapeResult;
}

bool QtInputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)
{
    EnsureQtApplication();
    bool ok = false;
    QString text = QInputDialog::getText(ActiveWindow(), ToQString(caption), ToQString(prompt), QLineEdit::Normal,
                                         ToQString(value), &ok);
    if (ok)
        value = FromQString(text);
    return ok;
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
    QFileDialog box(ActiveWindow(), ToQString(dialog.Title()));
    box.setAcceptMode(dialog.IsSaveDialog() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(dialog.IsSaveDialog() ? QFileDialog::AnyFile
                    : dialog.Options().Contains(ofFileMustExist) ? QFileDialog::ExistingFile
                                                                 : QFileDialog::AnyFile);
    if (!dialog.Options().Contains(ofOverwritePrompt))
        box.setOption(QFileDialog::DontConfirmOverwrite);
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
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return false;
    fileName = win::WindowsPathFromHost(box.selectedFiles().front().toStdString());
    int chosen = static_cast<int>(filters.indexOf(box.selectedNameFilter()));
    if (chosen >= 0)
        filterIndex = chosen + 1;
    return true;
}

bool QtFontDialog(TFont& font)
{
    EnsureQtApplication();
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, ToQFont(font), ActiveWindow());
    if (ok)
        AssignQFont(chosen, font);
    return ok;
}

bool QtColorDialog(TColor& color)
{
    EnsureQtApplication();
    QColor chosen = QColorDialog::getColor(ToQColor(color), ActiveWindow());
    if (!chosen.isValid())
        return false;
    color = RGBColor(static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                     static_cast<uint8_t>(chosen.blue()));
    return true;
}

}  // namespace vcl::detail
