#include "ui/script/script_form.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/process.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/kit/qt_text.h"

namespace velinor {

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

}  // namespace

TPascalHighlighter::TPascalHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void TPascalHighlighter::highlightBlock(const QString& text) {
    static const QRegularExpression keywords(
        "\\b(and|array|as|begin|case|const|div|do|downto|else|end|except|finally|for|function|goto|if|"
        "in|is|label|mod|nil|not|of|or|procedure|program|record|repeat|set|shl|shr|then|to|try|type|"
        "until|uses|var|while|with|xor|true|false)\\b",
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression numbers("\\b(\\d+(\\.\\d+)?|\\$[0-9A-Fa-f]+)\\b");
    static const QRegularExpression strings("'[^']*'");
    QTextCharFormat keyword;
    keyword.setFontWeight(QFont::Bold);
    keyword.setForeground(QColor(0, 0, 128));
    QTextCharFormat number;
    number.setForeground(QColor(0, 0, 255));
    QTextCharFormat string;
    string.setForeground(QColor(0, 0, 255));
    QTextCharFormat comment;
    comment.setForeground(QColor(0, 128, 0));
    comment.setFontItalic(true);

    auto apply = [&](const QRegularExpression& re, const QTextCharFormat& format) {
        for (auto it = re.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            setFormat(m.capturedStart(), m.capturedLength(), format);
        }
    };
    apply(keywords, keyword);
    apply(numbers, number);
    apply(strings, string);

    // Comments: "//" to the end of the line, "{ }" and "(* *)" across lines. Block state 1 is
    // inside "{", 2 inside "(*".
    setCurrentBlockState(0);
    int at = 0;
    int state = previousBlockState() > 0 ? previousBlockState() : 0;
    while (at < text.size()) {
        if (state == 0) {
            const int slash = text.indexOf("//", at);
            const int brace = text.indexOf('{', at);
            const int paren = text.indexOf("(*", at);
            int first = -1;
            for (int p : {slash, brace, paren})
                if (p >= 0 && (first < 0 || p < first)) first = p;
            if (first < 0) break;
            // Inside a string the markers are text.
            if (text.left(first).count('\'') % 2 == 1) {
                at = first + 1;
                continue;
            }
            if (first == slash) {
                setFormat(first, text.size() - first, comment);
                break;
            }
            state = first == brace ? 1 : 2;
            at = first;
        }
        const QString close = state == 1 ? "}" : "*)";
        const int end = text.indexOf(close, at);
        if (end < 0) {
            setFormat(at, text.size() - at, comment);
            setCurrentBlockState(state);
            break;
        }
        setFormat(at, end + close.size() - at, comment);
        at = end + close.size();
        state = 0;
    }
}

TScriptForm::TScriptForm(std::vector<TMvActionList*> lists, QWidget* parent)
    : QWidget(parent, Qt::Window),
      files_(std::make_unique<TScriptFichierMan>()),
      form_(std::make_unique<TScriptFormActions>(script_, *files_)),
      lists_(std::move(lists)) {
    setObjectName("ScriptForm");
    resize(640, 520);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName("tbScript");
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName("SynEdit1");
    editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    new TPascalHighlighter(editor_->document());
    messages_ = new QPlainTextEdit(this);
    messages_->setObjectName("Messages");
    messages_->setReadOnly(true);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(editor_);
    split->addWidget(messages_);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);

    auto* status = new QWidget(this);
    auto* statusRow = new QHBoxLayout(status);
    statusRow->setContentsMargins(4, 0, 4, 0);
    filePanel_ = new QLabel(status);
    filePanel_->setObjectName("StatusFile");
    statePanel_ = new QLabel(status);
    statePanel_->setObjectName("StatusState");
    statePanel_->setMinimumWidth(90);
    statusRow->addWidget(filePanel_, 1);
    statusRow->addWidget(statePanel_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(toolBar_);
    column->addWidget(split, 1);
    column->addWidget(status);

    // The window's commands and the document manager's work while the window has the focus:
    // the file commands in the "Fichier" menu, running and recording on the bar.
    TScriptFichierMan& f = *files_;
    auto bind = [this](TCustomAbstractAction& action) {
        QAction* q = binder_.Bind(action);
        q->setShortcutContext(Qt::WindowShortcut);
        addAction(q);
        return q;
    };
    auto* fileButton = new QToolButton(toolBar_);
    fileButton->setObjectName("btnFichier");
    fileButton->setText("Fichier");
    fileButton->setPopupMode(QToolButton::InstantPopup);
    auto* fileMenu = new QMenu(fileButton);
    for (TCustomAbstractAction* action : std::vector<TCustomAbstractAction*>{
             &f.naNewFile, &f.waOpenFile, &f.naPasteFile, &f.naSaveFile, &f.waSaveFileAs, &f.naCloseFile})
        fileMenu->addAction(bind(*action));
    fileMenu->addSeparator();
    fileMenu->addAction(bind(f.naParentFolder));
    fileMenu->addSeparator();
    for (TNopeAction* recent : f.naRecent) fileMenu->addAction(bind(*recent));
    fileButton->setMenu(fileMenu);
    toolBar_->addWidget(fileButton);
    toolBar_->addAction(bind(f.naSaveFile));
    toolBar_->addSeparator();
    for (TNopeAction* action : {&form_->naExecuteMacro, &form_->naStartMacro, &form_->naStopMacro})
        toolBar_->addAction(bind(*action));

    f.GetText = [this] { return editor_->toPlainText().toStdString(); };
    f.SetText = [this](const std::string& text) { editor_->setPlainText(Q(text)); };
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { files_->Edited(); });
    f.Dialogs.OpenFile = [this](const std::string& title, const std::string& filter,
                                const std::string& dir) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getOpenFileName(this, Q(title), Q(dir), QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    f.Dialogs.SaveFile = [this](const std::string& title, const std::string& filter,
                                const std::string& dir) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getSaveFileName(this, Q(title), Q(dir), QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    f.ClipboardFiles = [] {
        std::vector<std::string> files;
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        if (!mime) return files;
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
        if (files.empty()) {
            const QString text = mime->text().trimmed();
            if (!text.isEmpty() && !text.contains('\n')) files.push_back(text.toStdString());
        }
        return files;
    };
    f.AskDiscard = [this](const std::string& name) {
        const std::string question = "Le script " + (name.empty() ? std::string("sans nom") : name) +
                                     " a été modifié.\nL'enregistrer ?";
        switch (AskWarning(this, question, true)) {
            case TAnswer::Oui:
                return DiscardAnswer::Save;
            case TAnswer::Non:
                return DiscardAnswer::Discard;
            default:
                return DiscardAnswer::Cancel;
        }
    };
    f.OnError = [this](const std::string& message) { ShowErrorBox(this, message); };
    f.ShowInFileManager = [](const std::string& path) { return ShowInFolder(path); };
    f.OnStatus = [this] { showStatus(); };
    f.waInitialDir.InternalDefault = [](std::string& value) {
        value = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
        return true;
    };
    f.waInitialDir.SetValue(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());

    form_->OnMessages = [this](const std::vector<std::string>& lines) {
        messages_->setPlainText(Q(JoinLines(lines)));
        messages_->setStyleSheet("");
    };
    form_->OnRecording = [this](bool on) { showRecording(on); };
    macroTimer_ = new QTimer(this);
    macroTimer_->setInterval(200);
    connect(macroTimer_, &QTimer::timeout, this, [this] {
        // The recorder appends lines as the user works; the editor shows them as they come.
        if (form_->MacroText().size() == shownMacroLines_) return;
        shownMacroLines_ = form_->MacroText().size();
        files_->ShowText(JoinLines(form_->MacroText()));
    });

    form_->raScriptFormSave.BeforeSave = [this](TRect& r) {
        const QRect g = geometry();
        r = TRect{g.left(), g.top(), g.right() + 1, g.bottom() + 1};
        return true;
    };
    form_->raScriptFormSave.OnDefault = [this](TRect& r) {
        const QRect screen = QApplication::primaryScreen()
                                 ? QApplication::primaryScreen()->availableGeometry()
                                 : QRect(0, 0, 1280, 900);
        const int left = (screen.width() - width()) / 2, top = (screen.height() - height()) / 2;
        r = TRect{left, top, left + width(), top + height()};
        return true;
    };
    form_->raScriptFormSave.OnAfterApply = [this](const TRect& r) {
        if (r.Right - r.Left >= 100 && r.Bottom - r.Top >= 100)
            setGeometry(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    };

    for (TMvActionList* list : lists_) list->SetPascalScript(&script_);
    f.Actions.SetPascalScript(&script_);
    form_->Actions.SetPascalScript(&script_);
    script_.OnShowMessage = [this](const std::string& text) { ShowInformationBox(this, text); };
    script_.OnProcessMessages = [] { QApplication::processEvents(); };

    f.naNewFile.Execute();
    showRecording(false);
}

TScriptForm::~TScriptForm() {
    for (TMvActionList* list : lists_) list->SetPascalScript(nullptr);
    files_->Actions.SetPascalScript(nullptr);
    form_->Actions.SetPascalScript(nullptr);
    files_->OnStatus = nullptr;
    form_->OnMessages = nullptr;
    form_->OnRecording = nullptr;
}

void TScriptForm::showStatus() {
    filePanel_->setText(Q(files_->FileName()));
    statePanel_->setText(Q(files_->State()));
}

void TScriptForm::showRecording(bool on) {
    // White while recording, the application-workspace colour otherwise.
    QPalette p = editor_->palette();
    p.setColor(QPalette::Base, on ? QColor(Qt::white) : palette().color(QPalette::Window));
    editor_->setPalette(p);
    shownMacroLines_ = form_->MacroText().size();
    if (on)
        macroTimer_->start();
    else
        macroTimer_->stop();
}

void TScriptForm::LoadPreferences(TMorvanePreferences& prefs) {
    prefs.OpenPrefsKey("ScriptForm");
    files_->Actions.LoadActions(prefs);
    form_->Actions.LoadActions(prefs);
    prefs.ClosePrefsKey();
}

void TScriptForm::SavePreferences(TMorvanePreferences& prefs) {
    prefs.OpenPrefsKey("ScriptForm");
    form_->Actions.SaveActions(prefs);
    files_->Actions.SaveActions(prefs);
    prefs.ClosePrefsKey();
}

void TScriptForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (OnClosed) OnClosed();
}

}  // namespace velinor
