// The widgets of the standard controls and buttons: each peer puts the control's kept state onto its Qt
// widget and reports what the user does back to the control.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/QtImages.h"
#include "platform/vcl/QtPeers.h"

namespace vcl {

namespace {

// ---------------------------------------------------------------------------------------------------------
// Painted widgets

class TPaintedWidget : public QWidget {
public:
    TWidgetPeer* peer_ = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (!peer_)
            return;
        QPainter painter(this);
        PaintThroughControl(*peer_, painter);
    }
};

class TPaintedPeer : public TWidgetPeer {
public:
    TPaintedPeer(TControl& control, bool opaque, bool focusable) : TWidgetPeer(control, new TPaintedWidget)
    {
        WidgetAs<TPaintedWidget>()->peer_ = this;
        Widget()->setAutoFillBackground(opaque);
        Widget()->setFocusPolicy(focusable ? Qt::ClickFocus : Qt::NoFocus);
    }
    ~TPaintedPeer() override
    {
        if (auto* widget = WidgetAs<TPaintedWidget>())
            widget->peer_ = nullptr;
    }
    bool PaintsThroughControl() const override { return true; }
};

// Runs a change of the widget that must not come back as the user's doing.
class TApplying {
public:
    explicit TApplying(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TApplying() { flag_ = old_; }
    TApplying(const TApplying&) = delete;
    TApplying& operator=(const TApplying&) = delete;

private:
    bool& flag_;
    bool old_;
};

// Windows text (CR LF line ends) and the widgets' text (LF).
QString ToWidgetText(const AnsiString& text)
{
    AnsiString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return ToQString(out);
}

AnsiString FromWidgetText(const QString& text)
{
    AnsiString plain = FromQString(text);
    AnsiString out;
    out.reserve(plain.size() + plain.size() / 16);
    for (char c : plain) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

// A position in the control's text (CR LF: two characters) as one in the widget's (one).
int ToWidgetPos(const AnsiString& text, int pos)
{
    int widget = 0;
    for (int i = 0; i < pos && i < static_cast<int>(text.size()); ++i) {
        if (text[static_cast<size_t>(i)] == '\r' && i + 1 < static_cast<int>(text.size()) && text[static_cast<size_t>(i) + 1] == '\n') {
            ++i;
            if (i >= pos)
                break;
        }
        ++widget;
    }
    return widget;
}

int FromWidgetPos(const QString& text, int pos)
{
    int control = 0;
    for (int i = 0; i < pos && i < text.size(); ++i)
        control += text[i] == QLatin1Char('\n') ? 2 : 1;
    return control;
}

Qt::Alignment QtAlignment(TAlignment alignment)
{
    switch (alignment) {
    case taCenter: return Qt::AlignHCenter;
    case taRightJustify: return Qt::AlignRight;
    default: return Qt::AlignLeft;
    }
}

QIcon KindIcon(TBitBtnKind kind, QStyle* style)
{
    switch (kind) {
    case bkOK: return style->standardIcon(QStyle::SP_DialogOkButton);
    case bkCancel: return style->standardIcon(QStyle::SP_DialogCancelButton);
    case bkHelp: return style->standardIcon(QStyle::SP_DialogHelpButton);
    case bkYes: return style->standardIcon(QStyle::SP_DialogYesButton);
    case bkNo: return style->standardIcon(QStyle::SP_DialogNoButton);
    case bkClose: return style->standardIcon(QStyle::SP_DialogCloseButton);
    case bkAbort: return style->standardIcon(QStyle::SP_DialogDiscardButton);
    case bkRetry: return style->standardIcon(QStyle::SP_BrowserReload);
    case bkIgnore: return style->standardIcon(QStyle::SP_DialogResetButton);
    case bkAll: return style->standardIcon(QStyle::SP_DialogApplyButton);
    default: return QIcon();
    }
}

Qt::ToolButtonStyle ToolButtonStyle(bool hasGlyph, bool hasCaption)
{
    if (hasGlyph && hasCaption)
        return Qt::ToolButtonTextBesideIcon;
    return hasGlyph ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly;
}

// ---------------------------------------------------------------------------------------------------------
// Push buttons

// A push button that marks the focus with a dotted frame inside its edge. The style draws the focus and
// the default button the same way, so a dialog's default OK would look alike with and without the focus.
class TPushButtonWidget : public QPushButton {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPushButton::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(this);
        QPen pen(palette().color(QPalette::ButtonText));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(4, 4, -5, -5));
    }
};

class TButtonPeer : public TWidgetPeer {
public:
    explicit TButtonPeer(TButton& button) : TWidgetPeer(button, new TPushButtonWidget), button_(button)
    {
        Button()->setAutoDefault(false);
        QObject::connect(Button(), &QPushButton::clicked, Context(), [this] { Dispatch([this] { button_.Click(); }); });
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TButton::paDefault);
        Update(TButton::paGlyph);
    }
    void Update(int aspect) override
    {
        QPushButton* button = Button();
        if (!button)
            return;
        switch (aspect) {
        case TButton::paDefault: button->setDefault(button_.Default()); break;
        case TButton::paGlyph:
            if (auto* bit = dynamic_cast<TBitBtn*>(&button_)) {
                QIcon icon = GlyphIcon(*bit->Glyph(), bit->NumGlyphs());
                if (icon.isNull())
                    icon = KindIcon(bit->Kind(), button->style());
                button->setIcon(icon);
                if (!bit->Glyph()->Empty())
                    button->setIconSize(QSize(bit->Glyph()->Width() / bit->NumGlyphs(), bit->Glyph()->Height()));
                button->setLayoutDirection(bit->Layout() == blGlyphRight ? Qt::RightToLeft : Qt::LeftToRight);
            }
            break;
        case paText: button->setText(ToQString(button_.Caption())); break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserClick() override
    {
        if (!Button())
            return false;
        Button()->click();
        return true;
    }

private:
    QPushButton* Button() const { return WidgetAs<QPushButton>(); }
    TButton& button_;
};

class TSpeedButtonPeer : public TWidgetPeer {
public:
    explicit TSpeedButtonPeer(TSpeedButton& button) : TWidgetPeer(button, new QToolButton), button_(button)
    {
        // A flat tool button never takes the keyboard focus. Nor may a click on it hand the focus to the
        // panel it sits on, which Qt does for a click on a widget without focus (the nearest parent that
        // takes focus by a click gets it): the focus goes back to where the press found it.
        Button()->setFocusPolicy(Qt::NoFocus);
        QObject::connect(qApp, &QApplication::focusChanged, Context(), [this](QWidget* old, QWidget* now) {
            focusBefore_ = old;
            focusTakenBy_ = now;
        });
        QObject::connect(Button(), &QToolButton::pressed, Context(), [this] { KeepFocusWhereItWas(); });
        QObject::connect(Button(), &QToolButton::clicked, Context(), [this] {
            Dispatch([this] { button_.ClickedByUser(); });
            Update(TSpeedButton::paDown);
        });
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        for (int aspect : std::initializer_list<int>{TSpeedButton::paFlat, TSpeedButton::paDown, TSpeedButton::paGlyph})
            Update(aspect);
    }
    void Update(int aspect) override
    {
        QToolButton* button = Button();
        if (!button)
            return;
        switch (aspect) {
        case TSpeedButton::paFlat: button->setAutoRaise(button_.Flat()); break;
        case TSpeedButton::paDown:
            button->setCheckable(button_.GroupIndex() != 0);
            button->setChecked(button_.Down());
            break;
        case TSpeedButton::paGlyph: {
            QIcon icon = GlyphIcon(*button_.Glyph(), button_.NumGlyphs());
            button->setIcon(icon);
            if (!button_.Glyph()->Empty())
                button->setIconSize(QSize(button_.Glyph()->Width() / button_.NumGlyphs(), button_.Glyph()->Height()));
            button->setToolButtonStyle(ToolButtonStyle(!icon.isNull(), !button_.Caption().empty()));
            break;
        }
        case paText:
            button->setText(ToQString(button_.Caption()));
            Update(TSpeedButton::paGlyph);
            break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserClick() override
    {
        if (!Button())
            return false;
        Button()->click();
        return true;
    }

private:
    QToolButton* Button() const { return WidgetAs<QToolButton>(); }

    void KeepFocusWhereItWas()
    {
        QToolButton* button = Button();
        QWidget* now = QApplication::focusWidget();
        if (!button || !now || now != focusTakenBy_ || !now->isAncestorOf(button) || !focusBefore_ ||
            focusBefore_->window() != button->window())
            return;
        focusBefore_->setFocus(Qt::MouseFocusReason);
    }

    TSpeedButton& button_;
    QPointer<QWidget> focusBefore_;
    QPointer<QWidget> focusTakenBy_;
};

// ---------------------------------------------------------------------------------------------------------
// Edits

class TEditPeer : public TWidgetPeer {
public:
    explicit TEditPeer(TEdit& edit) : TWidgetPeer(edit, new QLineEdit), edit_(edit)
    {
        QObject::connect(Line(), &QLineEdit::textEdited, Context(), [this](const QString& text) {
            if (applying_)
                return;
            AnsiString value = FromQString(text);
            int start = 0, length = 0;
            Selection(start, length);
            Dispatch([&] { edit_.TextEditedByUser(value, start, length); });
        });
        auto selection = [this] {
            if (applying_)
                return;
            int start = 0, length = 0;
            Selection(start, length);
            edit_.SelectionChangedByUser(start, length);
        };
        QObject::connect(Line(), &QLineEdit::selectionChanged, Context(), selection);
        QObject::connect(Line(), &QLineEdit::cursorPositionChanged, Context(), selection);
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        for (int aspect : std::initializer_list<int>{TCustomEdit::paReadOnly, TCustomEdit::paMaxLength, TCustomEdit::paBorder, TEdit::paPassword,
                           TCustomEdit::paSelection})
            Update(aspect);
    }
    void Update(int aspect) override
    {
        QLineEdit* line = Line();
        if (!line)
            return;
        TApplying applying(applying_);
        switch (aspect) {
        case paText:
            line->setText(ToQString(edit_.Text()));
            Update(TCustomEdit::paSelection);
            break;
        case TCustomEdit::paReadOnly: line->setReadOnly(edit_.ReadOnly()); break;
        case TCustomEdit::paMaxLength: line->setMaxLength(edit_.MaxLength() > 0 ? edit_.MaxLength() : 32767); break;
        case TCustomEdit::paBorder: line->setFrame(edit_.BorderStyle() != bsNone); break;
        case TEdit::paPassword: line->setEchoMode(edit_.PasswordChar() ? QLineEdit::Password : QLineEdit::Normal); break;
        case TCustomEdit::paSelection:
            if (edit_.SelLength() > 0)
                line->setSelection(edit_.SelStart(), edit_.SelLength());
            else
                line->setCursorPosition(edit_.SelStart());
            break;
        default: TWidgetPeer::Update(aspect);
        }
    }

private:
    QLineEdit* Line() const { return WidgetAs<QLineEdit>(); }
    void Selection(int& start, int& length) const
    {
        if (Line()->hasSelectedText()) {
            start = Line()->selectionStart();
            length = static_cast<int>(Line()->selectedText().size());
        } else {
            start = Line()->cursorPosition();
            length = 0;
        }
    }
    TEdit& edit_;
    bool applying_ = false;
};

class TMemoPeer : public TWidgetPeer {
public:
    explicit TMemoPeer(TMemo& memo) : TWidgetPeer(memo, new QPlainTextEdit), memo_(memo)
    {
        Edit()->viewport()->setAttribute(Qt::WA_NoMousePropagation);
        WatchInput(Edit()->viewport());
        QObject::connect(Edit(), &QPlainTextEdit::textChanged, Context(), [this] {
            if (applying_)
                return;
            QString text = Edit()->toPlainText();
            AnsiString value = FromWidgetText(text);
            int start = 0, length = 0;
            Selection(text, start, length);
            Dispatch([&] { memo_.TextEditedByUser(value, start, length); });
        });
        QObject::connect(Edit(), &QPlainTextEdit::cursorPositionChanged, Context(), [this] {
            if (applying_)
                return;
            int start = 0, length = 0;
            Selection(Edit()->toPlainText(), start, length);
            memo_.SelectionChangedByUser(start, length);
        });
    }
    // Mouse clicks land in the text area.
    QWidget* ClientWidget() const override { return Edit() ? Edit()->viewport() : nullptr; }
    void Replay() override
    {
        TWidgetPeer::Replay();
        for (int aspect : std::initializer_list<int>{TCustomEdit::paReadOnly, TCustomEdit::paBorder, TMemo::paScrollBars, TMemo::paWordWrap,
                           TMemo::paWantTabs, TMemo::paAlignment, TCustomEdit::paSelection})
            Update(aspect);
    }
    void Update(int aspect) override
    {
        QPlainTextEdit* edit = Edit();
        if (!edit)
            return;
        TApplying applying(applying_);
        switch (aspect) {
        case paText:
            edit->setPlainText(ToWidgetText(memo_.Text()));
            ApplyAlignment();
            Update(TCustomEdit::paSelection);
            break;
        case TMemo::paAppendLine: {
            QTextCursor cursor(edit->document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(ToQString(memo_.AppendedLine()) + QLatin1Char('\n'));
            Update(TCustomEdit::paSelection);
            break;
        }
        case TCustomEdit::paReadOnly: edit->setReadOnly(memo_.ReadOnly()); break;
        case TCustomEdit::paBorder: edit->setFrameShape(memo_.BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel); break;
        case TMemo::paScrollBars: {
            TScrollStyle s = memo_.ScrollBars();
            edit->setVerticalScrollBarPolicy(s == ssVertical || s == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            edit->setHorizontalScrollBarPolicy(s == ssHorizontal || s == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            Update(TMemo::paWordWrap);
            break;
        }
        case TMemo::paWordWrap: {
            // A horizontal scroll bar means long lines run on.
            bool wrap = memo_.WordWrap() && memo_.ScrollBars() != ssHorizontal && memo_.ScrollBars() != ssBoth;
            edit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
            break;
        }
        case TMemo::paWantTabs: edit->setTabChangesFocus(!memo_.WantTabs()); break;
        case TMemo::paAlignment: ApplyAlignment(); break;
        case TCustomEdit::paSelection: {
            const AnsiString& text = memo_.Text();
            int start = ToWidgetPos(text, memo_.SelStart());
            int end = ToWidgetPos(text, memo_.SelStart() + memo_.SelLength());
            QTextCursor cursor(edit->document());
            cursor.setPosition(std::min(start, edit->document()->characterCount() - 1));
            cursor.setPosition(std::min(end, edit->document()->characterCount() - 1), QTextCursor::KeepAnchor);
            edit->setTextCursor(cursor);
            break;
        }
        default: TWidgetPeer::Update(aspect);
        }
    }

private:
    QPlainTextEdit* Edit() const { return WidgetAs<QPlainTextEdit>(); }
    void ApplyAlignment()
    {
        QTextOption option = Edit()->document()->defaultTextOption();
        option.setAlignment(QtAlignment(memo_.Alignment()));
        Edit()->document()->setDefaultTextOption(option);
    }
    void Selection(const QString& text, int& start, int& length) const
    {
        QTextCursor cursor = Edit()->textCursor();
        int from = FromWidgetPos(text, cursor.selectionStart());
        int to = FromWidgetPos(text, cursor.selectionEnd());
        start = from;
        length = to - from;
    }
    TMemo& memo_;
    bool applying_ = false;
};

// ---------------------------------------------------------------------------------------------------------
// Check boxes and radio buttons

// The control's colour is the background behind the caption. The box itself is in the window colour
// while enabled and grey only when disabled: an unchecked box filled with the dialog's grey looks disabled.
void ColorBoxLikeWindows(TWidgetPeer& peer)
{
    peer.TWidgetPeer::Update(paColor);
    QPalette palette = peer.Widget()->palette();
    palette.setColor(QPalette::Active, QPalette::Base, ToQColor(clWindow));
    palette.setColor(QPalette::Inactive, QPalette::Base, ToQColor(clWindow));
    palette.setColor(QPalette::Disabled, QPalette::Base, ToQColor(clBtnFace));
    peer.Widget()->setPalette(palette);
}

class TCheckBoxPeer : public TWidgetPeer {
public:
    explicit TCheckBoxPeer(TCheckBox& box) : TWidgetPeer(box, new QCheckBox), box_(box)
    {
        // Qt has already moved its own state; the control decides the next one as the classic box does.
        QObject::connect(Box(), &QCheckBox::clicked, Context(), [this] {
            Dispatch([this] { box_.Toggle(); });
            Update(TCheckBox::paState);
        });
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TCheckBox::paState);
        Update(TCheckBox::paAlignment);
    }
    void Update(int aspect) override
    {
        QCheckBox* box = Box();
        if (!box)
            return;
        switch (aspect) {
        case TCheckBox::paState:
            box->setTristate(box_.AllowGrayed() || box_.State() == cbGrayed);
            box->setCheckState(box_.State() == cbChecked  ? Qt::Checked
                               : box_.State() == cbGrayed ? Qt::PartiallyChecked
                                                          : Qt::Unchecked);
            break;
        case TCheckBox::paAlignment:
            box->setLayoutDirection(box_.Alignment() == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
            break;
        case paColor: ColorBoxLikeWindows(*this); break;
        case paText: box->setText(ToQString(box_.Caption())); break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserClick() override
    {
        if (!Box())
            return false;
        Box()->click();
        return true;
    }

private:
    QCheckBox* Box() const { return WidgetAs<QCheckBox>(); }
    TCheckBox& box_;
};

class TRadioButtonPeer : public TWidgetPeer {
public:
    explicit TRadioButtonPeer(TRadioButton& button) : TWidgetPeer(button, new QRadioButton), button_(button)
    {
        Button()->setAutoExclusive(false);  // the control unchecks its neighbours itself
        QObject::connect(Button(), &QRadioButton::clicked, Context(), [this] {
            Dispatch([this] { button_.SetChecked(true); });
            Update(TRadioButton::paChecked);
        });
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TRadioButton::paChecked);
        Update(TRadioButton::paAlignment);
    }
    void Update(int aspect) override
    {
        QRadioButton* button = Button();
        if (!button)
            return;
        switch (aspect) {
        case TRadioButton::paChecked: button->setChecked(button_.Checked()); break;
        case TRadioButton::paAlignment:
            button->setLayoutDirection(button_.Alignment() == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
            break;
        case paColor: ColorBoxLikeWindows(*this); break;
        case paText: button->setText(ToQString(button_.Caption())); break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserClick() override
    {
        if (!Button())
            return false;
        Button()->click();
        return true;
    }

private:
    QRadioButton* Button() const { return WidgetAs<QRadioButton>(); }
    TRadioButton& button_;
};

// ---------------------------------------------------------------------------------------------------------
// Combo boxes

class TComboWidget : public QComboBox {
public:
    std::function<void()> onDropDown;

protected:
    void showPopup() override
    {
        if (onDropDown)
            onDropDown();
        QComboBox::showPopup();
    }
};

class TComboBoxPeer : public TWidgetPeer {
public:
    explicit TComboBoxPeer(TComboBox& combo) : TWidgetPeer(combo, new TComboWidget), combo_(combo)
    {
        Combo()->setInsertPolicy(QComboBox::NoInsert);
        Combo()->onDropDown = [this] {
            Dispatch([this] {
                if (combo_.OnDropDown)
                    combo_.OnDropDown(&combo_);
            });
        };
        QObject::connect(Combo(), &QComboBox::activated, Context(), [this](int index) {
            if (applying_)
                return;
            Dispatch([&] { combo_.ItemSelectedByUser(index); });
        });
    }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TComboBox::paStyle);
        Update(TComboBox::paMaxLength);
        FillItems();
    }
    void Update(int aspect) override
    {
        QComboBox* combo = Combo();
        if (!combo)
            return;
        TApplying applying(applying_);
        switch (aspect) {
        case TComboBox::paItems: ItemsChanged(); break;
        case TComboBox::paItemIndex:
        case paText: ShowSelection(); break;
        case TComboBox::paStyle: {
            bool editable = combo_.Style() != csDropDownList;
            if (combo->isEditable() != editable) {
                combo->setEditable(editable);
                if (QLineEdit* line = combo->lineEdit()) {
                    WatchInput(line);
                    QObject::connect(line, &QLineEdit::textEdited, Context(), [this](const QString& text) {
                        if (applying_)
                            return;
                        AnsiString value = FromQString(text);
                        Dispatch([&] { combo_.TextEditedByUser(value); });
                    });
                }
            }
            Update(TComboBox::paMaxLength);
            ShowSelection();
            break;
        }
        case TComboBox::paMaxLength:
            if (QLineEdit* line = combo->lineEdit())
                line->setMaxLength(combo_.MaxLength() > 0 ? combo_.MaxLength() : 32767);
            break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserSelect(int index) override
    {
        if (index < 0 || index >= combo_.Items()->Count())
            return false;
        Dispatch([&] { combo_.ItemSelectedByUser(index); });
        return true;
    }
    bool UserSelectText(const AnsiString& text) override { return UserSelect(combo_.Items()->IndexOf(text)); }

private:
    TComboWidget* Combo() const { return WidgetAs<TComboWidget>(); }
    void FillItems()
    {
        TApplying applying(applying_);
        QStringList list;
        rtl::TStrings* items = combo_.Items();
        for (int i = 0; i < items->Count(); ++i)
            list << ToQString(items->Strings(i));
        Combo()->clear();
        Combo()->addItems(list);
        ShowSelection();
    }
    void ItemsChanged()
    {
        int index = combo_.LastChangeIndex();
        rtl::TStrings* items = combo_.Items();
        switch (combo_.LastChange()) {
        case TListChange::Inserted: Combo()->insertItem(index, ToQString(items->Strings(index))); break;
        case TListChange::Deleted: Combo()->removeItem(index); break;
        case TListChange::Changed: Combo()->setItemText(index, ToQString(items->Strings(index))); break;
        case TListChange::Reset:
        case TListChange::Refreshed: FillItems(); return;
        }
        ShowSelection();
    }
    void ShowSelection()
    {
        Combo()->setCurrentIndex(combo_.ItemIndex());
        if (Combo()->isEditable())
            Combo()->setEditText(ToQString(combo_.Text()));
    }
    TComboBox& combo_;
    bool applying_ = false;
};

// ---------------------------------------------------------------------------------------------------------
// List boxes

class TItemHeightDelegate : public QStyledItemDelegate {
public:
    TItemHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        return QSize(size.width(), height_);
    }
    int height_;
};

// Knows whether the mouse is down on the list: a selection made by the press is reported by the press.
class TPressWatch : public QObject {
public:
    bool pressing = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            pressing = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            pressing = false;
        return false;
    }
};

// With no current row Qt sends every cursor key to the first row; End goes to the last one.
class TListWidget : public QListWidget {
protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        if (action == MoveEnd && !currentIndex().isValid() && count() > 0)
            return indexFromItem(item(count() - 1));
        return QListWidget::moveCursor(action, modifiers);
    }
};

class TListBoxPeer : public TWidgetPeer {
public:
    explicit TListBoxPeer(TListBox& list) : TWidgetPeer(list, new TListWidget), list_(list)
    {
        QListWidget* w = List();
        w->setUniformItemSizes(true);
        w->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        delegate_ = new TItemHeightDelegate(list.ItemHeight(), w);
        w->setItemDelegate(delegate_);
        w->viewport()->setAttribute(Qt::WA_NoMousePropagation);
        WatchInput(w->viewport());
        press_ = std::make_unique<TPressWatch>();
        w->viewport()->installEventFilter(press_.get());
        QObject::connect(w, &QListWidget::pressed, Context(), [this](const QModelIndex& index) {
            if (!applying_)
                Report(index.row());
        });
        QObject::connect(w, &QListWidget::currentRowChanged, Context(), [this](int row) {
            if (!applying_ && !press_->pressing)
                Report(row);
        });
        QObject::connect(w->verticalScrollBar(), &QScrollBar::valueChanged, Context(),
                         [this](int value) { list_.TopIndexChangedByUser(value); });
    }
    ~TListBoxPeer() override
    {
        if (QListWidget* w = List())
            w->viewport()->removeEventFilter(press_.get());
    }
    // Mouse clicks land on the rows.
    QWidget* ClientWidget() const override { return List() ? List()->viewport() : nullptr; }
    void Replay() override
    {
        TWidgetPeer::Replay();
        Update(TListBox::paMultiSelect);
        Update(TListBox::paBorder);
        FillItems();
        Update(TListBox::paTopIndex);
    }
    void Update(int aspect) override
    {
        QListWidget* w = List();
        if (!w)
            return;
        TApplying applying(applying_);
        switch (aspect) {
        case TListBox::paItems: ItemsChanged(); break;
        case TListBox::paSelection: ShowSelection(); break;
        case TListBox::paMultiSelect:
            w->setSelectionMode(!list_.MultiSelect()       ? QAbstractItemView::SingleSelection
                                : list_.ExtendedSelect() ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::MultiSelection);
            ShowSelection();
            break;
        case TListBox::paItemHeight:
            delegate_->height_ = list_.ItemHeight();
            w->doItemsLayout();
            break;
        case TListBox::paTopIndex:
            if (list_.TopIndex() < w->count())
                w->scrollToItem(w->item(list_.TopIndex()), QAbstractItemView::PositionAtTop);
            break;
        case TListBox::paBorder: w->setFrameShape(list_.BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel); break;
        default: TWidgetPeer::Update(aspect);
        }
    }
    bool ClickOnMouseUp() const override { return false; }
    bool UserSelect(int index) override
    {
        if (index < 0 || index >= list_.Items()->Count())
            return false;
        Dispatch([&] { list_.SelectedByUser(index, {index}); });
        Update(TListBox::paSelection);
        return true;
    }
    bool UserSelectText(const AnsiString& text) override { return UserSelect(list_.Items()->IndexOf(text)); }

    int ItemAt(TPoint pos) const
    {
        QListWidget* w = List();
        QPoint inViewport = w->viewport()->mapFrom(w, QPoint(pos.X, pos.Y));
        if (!w->viewport()->rect().contains(inViewport))
            return -1;
        QModelIndex index = w->indexAt(inViewport);
        return index.isValid() ? index.row() : -1;
    }

private:
    QListWidget* List() const { return WidgetAs<QListWidget>(); }
    void Report(int row)
    {
        std::vector<int> selected;
        for (const QModelIndex& index : List()->selectionModel()->selectedIndexes())
            selected.push_back(index.row());
        Dispatch([&] { list_.SelectedByUser(row, selected); });
    }
    void FillItems()
    {
        TApplying applying(applying_);
        QStringList texts;
        rtl::TStrings* items = list_.Items();
        for (int i = 0; i < items->Count(); ++i)
            texts << ToQString(items->Strings(i));
        List()->clear();
        List()->addItems(texts);
        ShowSelection();
    }
    void ItemsChanged()
    {
        int index = list_.LastChangeIndex();
        rtl::TStrings* items = list_.Items();
        switch (list_.LastChange()) {
        case TListChange::Inserted: List()->insertItem(index, ToQString(items->Strings(index))); break;
        case TListChange::Deleted: delete List()->takeItem(index); ShowSelection(); break;
        case TListChange::Changed: List()->item(index)->setText(ToQString(items->Strings(index))); break;
        case TListChange::Reset:
        case TListChange::Refreshed: FillItems(); break;
        }
    }
    void ShowSelection()
    {
        QListWidget* w = List();
        if (!list_.MultiSelect()) {
            int row = list_.ItemIndex();
            if (row >= 0 && row < w->count())
                w->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            else {
                w->clearSelection();
                w->setCurrentIndex(QModelIndex());
            }
            return;
        }
        for (int i = 0; i < w->count() && i < list_.Items()->Count(); ++i)
            w->item(i)->setSelected(list_.Selected(i));
    }
    TListBox& list_;
    TItemHeightDelegate* delegate_ = nullptr;
    std::unique_ptr<TPressWatch> press_;
    bool applying_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------------

std::unique_ptr<TWidgetPeer> MakePaintedPeer(TControl& control, bool opaque, bool focusable)
{
    EnsureQtApplication();
    return std::make_unique<TPaintedPeer>(control, opaque, focusable);
}

QIcon GlyphIcon(const TBitmap& glyph, int numGlyphs)
{
    if (glyph.Empty())
        return QIcon();
    QImage image = GraphicImage(glyph).convertToFormat(QImage::Format_ARGB32);
    if (!glyph.Transparent()) {
        // Glyphs are transparent in their bottom-left pixel's colour, whatever the bitmap says.
        QRgb key = image.pixel(0, image.height() - 1) & 0x00FFFFFF;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0x00FFFFFF) == key)
                    line[x] = 0;
            }
        }
    }
    int count = std::clamp(numGlyphs, 1, 4);
    int width = std::max(image.width() / count, 1);
    QIcon icon(QPixmap::fromImage(image.copy(0, 0, width, image.height())));
    if (count >= 2)
        icon.addPixmap(QPixmap::fromImage(image.copy(width, 0, width, image.height())), QIcon::Disabled);
    return icon;
}

std::unique_ptr<TWidgetPeer> TCustomLabel::CreatePeer()
{
    return MakePaintedPeer(*this, false);
}

std::unique_ptr<TWidgetPeer> TButton::CreatePeer()
{
    return MakeWidgetPeer<TButtonPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TSpeedButton::CreatePeer()
{
    return MakeWidgetPeer<TSpeedButtonPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TEdit::CreatePeer()
{
    return MakeWidgetPeer<TEditPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TMemo::CreatePeer()
{
    return MakeWidgetPeer<TMemoPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TCheckBox::CreatePeer()
{
    return MakeWidgetPeer<TCheckBoxPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TRadioButton::CreatePeer()
{
    return MakeWidgetPeer<TRadioButtonPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TComboBox::CreatePeer()
{
    return MakeWidgetPeer<TComboBoxPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TListBox::CreatePeer()
{
    return MakeWidgetPeer<TListBoxPeer>(*this);
}

std::unique_ptr<TWidgetPeer> TBevel::CreatePeer()
{
    return MakePaintedPeer(*this, false);
}

std::unique_ptr<TWidgetPeer> TSplitter::CreatePeer()
{
    return MakePaintedPeer(*this, true);
}

std::unique_ptr<TWidgetPeer> TImage::CreatePeer()
{
    return MakePaintedPeer(*this, false);
}

std::unique_ptr<TWidgetPeer> TPaintBox::CreatePeer()
{
    return MakePaintedPeer(*this, false);
}

int TListBox::PeerItemAtPos(TPoint pos) const
{
    auto* peer = dynamic_cast<TListBoxPeer*>(Peer());
    if (!peer || !peer->Widget())
        return -2;
    return peer->ItemAt(pos);
}

}  // namespace vcl
