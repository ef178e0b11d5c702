// The widget side of TRichEdit: a text view that shows the control's document and hands every edit the
// user makes back to the control, and the clipboard. The view never edits its own text: what it shows is
// rebuilt or patched from the document after each change, and anything that changes it behind our back
// is undone by a rebuild.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "platform/richedit/Charsets.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"
#include "platform/vcl/QtSeam.h"

namespace vcl {

using richedit::TCharAttributes;
using richedit::TRichDocument;

namespace {

// The clipboard and drag format of our rich text, beside plain text.
const char* const RtfMimeType = "text/rtf";
// Marks a drag that a view started, with the view's address: dropped there again, it is a move.
const char* const OwnDragMimeType = "application/x-scrivane-rich-edit-drag";

QTextCharFormat CharFormat(const TCharAttributes& a)
{
    QTextCharFormat format;
    format.setFontFamilies({DisplayFamily(ToQString(a.Face))});
    format.setFontPointSize(a.HalfPoints / 2.0);
    format.setFontWeight(a.Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(a.Italic);
    format.setFontUnderline(a.Underline);
    format.setFontStrikeOut(a.StrikeOut);
    format.setForeground(QColor(a.Color & 0xFF, (a.Color >> 8) & 0xFF, (a.Color >> 16) & 0xFF));
    return format;
}

QTextBlockFormat BlockFormat(richedit::TParaAlignment alignment)
{
    QTextBlockFormat format;
    format.setAlignment(alignment == richedit::paCenter  ? Qt::AlignHCenter
                        : alignment == richedit::paRight ? Qt::AlignRight
                                                         : Qt::AlignLeft);
    return format;
}

// A run's bytes as the characters they are in its character set.
QString DisplayText(const richedit::TCharAttributes& a, std::string_view bytes)
{
    return QString::fromStdU16String(richedit::CharsetToUtf16(a.Charset, bytes));
}

QMimeData* MimeFor(const TRichDocument& fragment)
{
    auto* mime = new QMimeData;
    AnsiString rtf = richedit::WriteRtf(fragment);
    mime->setData(RtfMimeType, QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())));
    QString text;
    fragment.ForEachRun([&](const TRichDocument::TRun& run) {
        text += DisplayText(*run.Attributes, std::string_view(fragment.Text())
                                                 .substr(static_cast<size_t>(run.Start), static_cast<size_t>(run.Length)));
    });
    mime->setText(text.replace("\r\n", "\n"));
    return mime;
}

// Our rich text when the data holds it, else its plain text in the caret's attributes.
TRichDocument FragmentFrom(const QMimeData* mime, const TCharAttributes& caret)
{
    if (mime && mime->hasFormat(RtfMimeType)) {
        QByteArray bytes = mime->data(RtfMimeType);
        std::string_view rtf(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (richedit::IsRtf(rtf))
            return richedit::ReadRtf(rtf);
    }
    TRichDocument fragment(caret);
    if (mime && mime->hasText())
        fragment.AppendText(FromQString(mime->text()), caret);
    return fragment;
}

class TRichEditPeer;

class TRichTextView : public QTextEdit {
public:
    TRichTextView()
    {
        setUndoRedoEnabled(false);
        setAcceptRichText(false);
        setTabStopDistance(48);  // half an inch
    }

    TRichEditPeer* peer_ = nullptr;  // cleared when the peer goes before the widget

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override
    {
        return source->hasText() || source->hasFormat(RtfMimeType);
    }
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class TRichEditPeer : public TWidgetPeer {
public:
    explicit TRichEditPeer(TRichEdit& edit) : TWidgetPeer(edit, new TRichTextView), edit_(edit)
    {
        View()->peer_ = this;
        WatchInput(View()->viewport());
        QObject::connect(View(), &QTextEdit::cursorPositionChanged, Context(), [this] { CursorMoved(); });
        QObject::connect(View(), &QTextEdit::selectionChanged, Context(), [this] { CursorMoved(); });
        QObject::connect(View()->document(), &QTextDocument::contentsChange, Context(),
                         [this](int, int, int) { ChangedBehindOurBack(); });
    }

    ~TRichEditPeer() override
    {
        if (TRichTextView* view = View())
            view->peer_ = nullptr;
    }

    void Replay() override
    {
        TWidgetPeer::Replay();
        ApplyOptions();
        Rebuild();
        ApplySelection();
    }

    void Update(int aspect) override
    {
        switch (aspect) {
        case TRichEdit::paContent:
            Patch();
            break;
        case TRichEdit::paSelection:
            ApplySelection();
            break;
        case TRichEdit::paOptions:
        case paColor:
            TWidgetPeer::Update(aspect);
            ApplyOptions();
            break;
        default:
            TWidgetPeer::Update(aspect);
            break;
        }
    }

    TRichEdit& Edit() const { return edit_; }

    int ToModel(int viewPos) const
    {
        QTextBlock block = View()->document()->findBlock(viewPos);
        return viewPos + (block.isValid() ? block.blockNumber() : 0);
    }

    int ToView(int modelPos) const { return modelPos - edit_.Document().ParagraphAt(modelPos); }

    bool KeyPressed(QKeyEvent* event);

    // The view's cursor (a drop position, a word movement) in model positions.
    int ModelPositionOf(const QTextCursor& cursor) const { return ToModel(cursor.position()); }

private:
    TRichTextView* View() const { return WidgetAs<TRichTextView>(); }

    class TUpdating {
    public:
        explicit TUpdating(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
        ~TUpdating() { flag_ = old_; }

    private:
        bool& flag_;
        bool old_;
    };

    void InsertRuns(QTextCursor& cursor, int start, int end)
    {
        const TRichDocument& doc = edit_.Document();
        doc.ForEachRun(start, end, [&](const TRichDocument::TRun& run) {
            if (run.IsParagraphEnd) {
                int next = doc.ParagraphAt(run.Start + 2);
                cursor.insertBlock(BlockFormat(doc.Alignment(next)), CharFormat(*run.Attributes));
            } else {
                AnsiString text = doc.Text().substr(static_cast<size_t>(run.Start), static_cast<size_t>(run.Length));
                cursor.insertText(DisplayText(*run.Attributes, text), CharFormat(*run.Attributes));
            }
        });
    }

    void Rebuild()
    {
        TRichTextView* view = View();
        if (!view)
            return;
        TUpdating updating(updating_);
        const TRichDocument& doc = edit_.Document();
        QTextDocument* qdoc = view->document();
        qdoc->clear();
        QTextCursor cursor(qdoc);
        cursor.beginEditBlock();
        cursor.setBlockFormat(BlockFormat(doc.Alignment(0)));
        QTextCharFormat first = CharFormat(doc.IsEmpty() ? doc.EmptyAttributes() : doc.AttributesAt(0));
        cursor.setBlockCharFormat(first);
        cursor.setCharFormat(first);
        InsertRuns(cursor, 0, doc.Length());
        cursor.endEditBlock();
        viewVersion_ = doc.Version();
    }

    void Patch()
    {
        TRichTextView* view = View();
        if (!view)
            return;
        const TRichEdit::TChangeRecord& change = edit_.LastChange();
        // An empty document's look lives in the view's block and character formats: set afresh.
        if (change.Whole || change.FromVersion != viewVersion_ || edit_.Document().IsEmpty()) {
            Rebuild();
            return;
        }
        const TRichDocument& doc = edit_.Document();
        QTextDocument* qdoc = view->document();
        {
            TUpdating updating(updating_);
            QTextCursor cursor(qdoc);
            cursor.beginEditBlock();
            int start = ToView(change.Start);
            cursor.setPosition(start);
            cursor.setPosition(start + change.OldViewLength, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            InsertRuns(cursor, change.Start, change.NewEnd);
            // Joined and split paragraphs take their alignment from the document, not from the view.
            int last = doc.ParagraphAt(change.NewEnd);
            for (int p = doc.ParagraphAt(change.Start); p <= last; ++p) {
                QTextCursor block(qdoc->findBlockByNumber(p));
                block.setBlockFormat(BlockFormat(doc.Alignment(p)));
            }
            cursor.endEditBlock();
        }
        viewVersion_ = doc.Version();
        if (qdoc->blockCount() != doc.ParagraphCount() || qdoc->characterCount() - 1 != ToView(doc.Length()))
            Rebuild();
    }

    void ApplySelection()
    {
        TRichTextView* view = View();
        if (!view)
            return;
        TUpdating updating(updating_);
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(ToView(edit_.SelectionAnchor()));
        cursor.setPosition(ToView(edit_.SelectionCaret()), QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);
    }

    void ApplyOptions()
    {
        TRichTextView* view = View();
        if (!view)
            return;
        view->setReadOnly(edit_.ReadOnly());
        view->setTabChangesFocus(!edit_.WantTabs());
        view->setLineWrapMode(edit_.WordWrap() ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        TScrollStyle bars = edit_.ScrollBars();
        view->setHorizontalScrollBarPolicy(bars == ssHorizontal || bars == ssBoth ? Qt::ScrollBarAsNeeded
                                                                                  : Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(bars == ssVertical || bars == ssBoth ? Qt::ScrollBarAsNeeded
                                                                              : Qt::ScrollBarAlwaysOff);
        QPalette palette = view->palette();
        if (edit_.HideSelection()) {
            palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Inactive, QPalette::Base));
            palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                             palette.color(QPalette::Inactive, QPalette::Text));
        } else {
            palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
            palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                             palette.color(QPalette::Active, QPalette::HighlightedText));
        }
        view->setPalette(palette);
    }

    void CursorMoved()
    {
        TRichTextView* view = View();
        if (updating_ || !view)
            return;
        QTextCursor cursor = view->textCursor();
        int anchor = ToModel(cursor.anchor());
        int caret = ToModel(cursor.position());
        Dispatch([&] { edit_.UserSelects(anchor, caret); });
    }

    void ChangedBehindOurBack()
    {
        if (updating_ || rebuildQueued_)
            return;
        rebuildQueued_ = true;
        QTimer::singleShot(0, Context(), [this] {
            rebuildQueued_ = false;
            Rebuild();
            ApplySelection();
        });
    }

    TRichEdit& edit_;
    bool updating_ = false;
    bool rebuildQueued_ = false;
    uint64_t viewVersion_ = 0;
};

bool TRichEditPeer::KeyPressed(QKeyEvent* event)
{
    TRichEdit& edit = edit_;
    QTextCursor cursor = View()->textCursor();
    auto deleteTo = [&](QTextCursor::MoveOperation move) {
        QTextCursor to = cursor;
        to.clearSelection();
        to.movePosition(move, QTextCursor::KeepAnchor);
        int a = ToModel(to.anchor()), b = ToModel(to.position());
        Dispatch([&] { edit.UserDeletesRange(std::min(a, b), std::max(a, b)); });
    };
    if (event == QKeySequence::Copy) {
        Dispatch([&] { edit.CopyToClipboard(); });
    } else if (event == QKeySequence::Cut) {
        Dispatch([&] { edit.CutToClipboard(); });
    } else if (event == QKeySequence::Paste) {
        Dispatch([&] { edit.PasteFromClipboard(); });
    } else if (event == QKeySequence::SelectAll) {
        Dispatch([&] { edit.SelectAll(); });
    } else if (event == QKeySequence::Undo) {
        if (!edit.ReadOnly())
            Dispatch([&] { edit.Undo(); });
    } else if (event == QKeySequence::Redo) {
        // Undone is undone: there is no redo.
    } else if (event == QKeySequence::DeleteStartOfWord) {
        deleteTo(QTextCursor::PreviousWord);
    } else if (event == QKeySequence::DeleteEndOfWord) {
        deleteTo(QTextCursor::NextWord);
    } else if (event == QKeySequence::DeleteEndOfLine) {
        deleteTo(QTextCursor::EndOfBlock);
    } else if (event->key() == Qt::Key_Backspace) {
        Dispatch([&] { edit.UserDeletes(false); });
    } else if (event->key() == Qt::Key_Delete) {
        Dispatch([&] { edit.UserDeletes(true); });
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!edit.WantReturns())
            return false;
        Dispatch([&] { edit.UserTypes("\r\n"); });
    } else if (event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ControlModifier)) {
        if (!edit.WantTabs())
            return false;
        Dispatch([&] { edit.UserTypes("\t"); });
    } else {
        QString text = event->text();
        bool printable = !text.isEmpty() && !(event->modifiers() & Qt::ControlModifier);
        for (QChar c : text)
            printable = printable && c.unicode() >= 0x20 && c.unicode() != 0x7F;
        if (!printable)
            return false;
        AnsiString typed = FromQString(text);
        Dispatch([&] { edit.UserTypes(typed); });
    }
    return true;
}

void TRichTextView::keyPressEvent(QKeyEvent* event)
{
    if (peer_ && peer_->KeyPressed(event)) {
        event->accept();
        return;
    }
    // Moving the caret and selecting: the view does it, the control hears of it.
    bool edits = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Tab;
    if (peer_ && edits) {
        event->ignore();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TRichTextView::inputMethodEvent(QInputMethodEvent* event)
{
    if (peer_ && !event->commitString().isEmpty()) {
        AnsiString text = FromQString(event->commitString());
        TRichEditPeer* peer = peer_;
        peer->Dispatch([&] { peer->Edit().UserTypes(text); });
    }
    event->accept();
}

QMimeData* TRichTextView::createMimeDataFromSelection() const
{
    if (!peer_)
        return QTextEdit::createMimeDataFromSelection();
    // The view asks for this only when a drag starts (the control does its own copying).
    QMimeData* mime = MimeFor(peer_->Edit().SelectionFragment());
    mime->setData(OwnDragMimeType, QByteArray::number(reinterpret_cast<quintptr>(this)));
    return mime;
}

void TRichTextView::insertFromMimeData(const QMimeData* source)
{
    if (!peer_)
        return;
    TRichEditPeer* peer = peer_;
    peer->Dispatch([&] {
        TRichEdit& edit = peer->Edit();
        edit.UserInserts(FragmentFrom(source, edit.CaretAttributes()));
    });
}

void TRichTextView::dropEvent(QDropEvent* event)
{
    QDragLeaveEvent leave;
    QTextEdit::dragLeaveEvent(&leave);  // ends the view's drop caret
    if (!peer_) {
        event->ignore();
        return;
    }
    TRichEditPeer* peer = peer_;
    int pos = peer->ModelPositionOf(cursorForPosition(event->position().toPoint()));
    const QMimeData* mime = event->mimeData();
    bool own = mime && mime->data(OwnDragMimeType) == QByteArray::number(reinterpret_cast<quintptr>(this));
    bool move = own && event->dropAction() == Qt::MoveAction;
    peer->Dispatch([&] {
        TRichEdit& edit = peer->Edit();
        TRichDocument fragment = FragmentFrom(event->mimeData(), edit.CaretAttributes());
        if (move)
            edit.UserDrops(pos, fragment, edit.SelStart(), edit.SelStart() + edit.SelLength());
        else
            edit.UserDrops(pos, fragment);
    });
    // The drag's source must never remove anything itself: the control did what a move needs.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TRichTextView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!peer_)
        return;
    TRichEditPeer* peer = peer_;
    TRichEdit& edit = peer->Edit();
    bool selected = edit.SelLength() > 0;
    QMenu menu(this);
    auto add = [&](const char* caption, bool enabled, std::function<void()> action) {
        QAction* item = menu.addAction(caption);
        item->setEnabled(enabled);
        QObject::connect(item, &QAction::triggered, &menu, [peer, action] { peer->Dispatch(action); });
    };
    add("&Undo", edit.CanUndo() && !edit.ReadOnly(), [&edit] { edit.Undo(); });
    menu.addSeparator();
    add("Cu&t", selected && !edit.ReadOnly(), [&edit] { edit.CutToClipboard(); });
    add("&Copy", selected, [&edit] { edit.CopyToClipboard(); });
    add("&Paste", !edit.ReadOnly(), [&edit] { edit.PasteFromClipboard(); });
    add("&Delete", selected && !edit.ReadOnly(), [&edit] { edit.UserDeletes(true); });
    menu.addSeparator();
    add("Select &All", edit.GetTextLen() > 0, [&edit] { edit.SelectAll(); });
    menu.exec(event->globalPos());
}

}  // namespace

std::unique_ptr<TWidgetPeer> TRichEdit::CreatePeer() { return std::make_unique<TRichEditPeer>(*this); }

AnsiString TRichEdit::ViewMismatch() const
{
    auto* view = qobject_cast<QTextEdit*>(WidgetOf(*this));
    if (!view)
        return AnsiString();
    const TRichDocument& doc = document_;
    QTextDocument* qdoc = view->document();
    if (qdoc->blockCount() != doc.ParagraphCount())
        return "paragraphs: view " + rtl::IntToStr(qdoc->blockCount()) + ", document " +
               rtl::IntToStr(doc.ParagraphCount());
    int p = 0;
    for (QTextBlock block = qdoc->begin(); block.isValid(); block = block.next(), ++p) {
        int start = doc.ParagraphStart(p);
        QString text = block.text();
        QString want;
        doc.ForEachRun(start, doc.ParagraphEnd(p), [&](const TRichDocument::TRun& run) {
            want += DisplayText(*run.Attributes, std::string_view(doc.Text())
                                                     .substr(static_cast<size_t>(run.Start), static_cast<size_t>(run.Length)));
        });
        if (text != want)
            return "paragraph " + rtl::IntToStr(p) + " reads '" + FromQString(text) + "'";
        if (block.blockFormat().alignment() != BlockFormat(doc.Alignment(p)).alignment())
            return "paragraph " + rtl::IntToStr(p) + " is aligned differently";
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment fragment = it.fragment();
            int from = start + fragment.position() - block.position();
            for (int k = 0; k < fragment.length(); ++k) {
                QTextCharFormat want = CharFormat(doc.AttributesAt(from + k));
                QTextCharFormat have = fragment.charFormat();
                if (have.fontFamilies() != want.fontFamilies() || have.fontPointSize() != want.fontPointSize() ||
                    have.fontWeight() != want.fontWeight() || have.fontItalic() != want.fontItalic() ||
                    have.fontUnderline() != want.fontUnderline() || have.fontStrikeOut() != want.fontStrikeOut() ||
                    have.foreground().color() != want.foreground().color())
                    return "the attributes at " + rtl::IntToStr(from + k) + " differ";
            }
        }
    }
    return AnsiString();
}

// ---------------------------------------------------------------------------------------------------------
// The clipboard

void TRichEdit::CopyToClipboard()
{
    if (SelLength() == 0)
        return;
    EnsureQtApplication();
    QGuiApplication::clipboard()->setMimeData(MimeFor(SelectionFragment()));
}

void TRichEdit::CutToClipboard()
{
    if (SelLength() == 0 || readOnly_)
        return;
    int start = selStart_, end = selEnd_;
    // Asked once, before anything happens: a refused cut leaves the clipboard alone too.
    if (document_.TouchesProtected(start, end) && !AskProtect(start, end))
        return;
    CopyToClipboard();
    if (Edit(
            start, end, [&](TRichDocument& doc) { return doc.Delete(start, end, nullptr); },
            [start] { return start; }))
        SetSelection(start, start);
}

void TRichEdit::PasteFromClipboard()
{
    if (readOnly_)
        return;
    EnsureQtApplication();
    TRichDocument fragment = FragmentFrom(QGuiApplication::clipboard()->mimeData(), CaretAttributes());
    if (!fragment.IsEmpty())
        UserInserts(fragment);
}

}  // namespace vcl
