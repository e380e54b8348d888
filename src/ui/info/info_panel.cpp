#include "ui/info/info_panel.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>

#include "ui/kit/context_menu.h"

namespace velinor {

namespace {

// Arial 8 points at 96 pixels per inch: 11 pixels high.
QFont PanelFont(bool bold) {
    QFont font("Arial");
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, bool bold) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(PanelFont(bold));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A right click anywhere on the panel opens the panel's copy menu, not the label's own.
    label->setContextMenuPolicy(Qt::NoContextMenu);
    return label;
}

}  // namespace

// The copy menu's entries; a null caption is a separator.
constexpr const char* kCopyEntries[] = {"Copier le datecode",
                                        "Copier le timecode",
                                        "Copier le codec",
                                        "Copier la taille d'image",
                                        "Copier la durée",
                                        "Copier le fps",
                                        "Copier l'audio",
                                        nullptr,
                                        "Copier le nom complet",
                                        "Copier le nom court",
                                        "Copier la date du fichier",
                                        "Copier la taille du fichier"};

TBaseFramePanel::TBaseFramePanel(QWidget* parent) : QFrame(parent), copiermenu_(new QMenu(this)) {
    setObjectName("BaseFrame");
    copiermenu_->setObjectName("copiermenu");
    size_t index = 0;
    for (const char* entry : kCopyEntries) {
        if (!entry) {
            copiermenu_->addSeparator();
            continue;
        }
        QAction* action = copiermenu_->addAction(QString::fromUtf8(entry));
        action->setEnabled(false);
        connect(action, &QAction::triggered, this, [this, index] {
            const std::vector<std::string> texts = CopyTexts();
            if (index < texts.size())
                QGuiApplication::clipboard()->setText(QString::fromStdString(texts[index]));
        });
        ++index;
    }
    AttachContextMenu(*this, *copiermenu_);
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(1);

    QLabel* name = MakeLabel(this, "LabNom", true);
    name->installEventFilter(this);
    QFont nameFont("Arial");
    nameFont.setPixelSize(13);
    nameFont.setBold(true);
    name->setFont(nameFont);
    grid->addWidget(name, 0, 0, 1, 3);

    // Caption, value label and, for the datecode row, the shift label.
    struct Row {
        const char* caption;
        const char* value;
    };
    const Row rows[] = {{"Datecode", "labDatecode"}, {"Timecode", "LabTimecode"}, {"codec", "LabCodec"},
                        {"Image", "LabImage"},       {"Durée", "LabDuree"},       {"Fps", "labFPS"},
                        {"Audio", "LabAudio1"},      {nullptr, "LabAudio2"}};
    int line = 1;
    for (const Row& row : rows) {
        if (row.caption) {
            auto* caption = new QLabel(QString::fromUtf8(row.caption), this);
            caption->setFont(PanelFont(false));
            grid->addWidget(caption, line, 0);
        }
        grid->addWidget(MakeLabel(this, row.value, true), line, 1);
        ++line;
    }
    grid->addWidget(MakeLabel(this, "labDecalage", true), 1, 2);
    QLabel* scn = MakeLabel(this, "labscn", false);
    scn->setText("scn");
    QLabel* srt = MakeLabel(this, "labsrt", false);
    srt->setText("srt");
    grid->addWidget(scn, 2, 2);
    grid->addWidget(srt, 3, 2);

    gauge1_ = new QProgressBar(this);
    gauge1_->setObjectName("Gauge1");
    gauge1_->setTextVisible(false);
    gauge1_->setMaximumHeight(10);
    gauge1_->hide();
    grid->addWidget(gauge1_, line++, 0, 1, 3);
    gauge2_ = new QProgressBar(this);
    gauge2_->setObjectName("Gauge2");
    gauge2_->setTextVisible(false);
    gauge2_->setMaximumHeight(6);
    gauge2_->setRange(0, 10'000);
    grid->addWidget(gauge2_, line++, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    ClearFile();
}

QLabel* TBaseFramePanel::Label(const char* name) const {
    return findChild<QLabel*>(name);
}

void TBaseFramePanel::ShowFile(const TaviFichier* record) {
    if (!record) return;
    frame_.ShowFile(record);
    showTexts();
}

void TBaseFramePanel::ClearFile() {
    frame_.ClearFile();
    showTexts();
}

std::vector<std::string> TBaseFramePanel::CopyTexts() const {
    const auto caption = [this](const char* name) { return Label(name)->text().toStdString(); };
    return CopyMenuTexts(
        {caption("labDatecode"), caption("LabTimecode"), caption("LabCodec"), caption("LabImage"),
         caption("LabDuree"), caption("labFPS"), caption("LabAudio1"), caption("LabAudio2")},
        frame_.Current);
}

bool TBaseFramePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label("LabNom") && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && OnNameClicked)
        OnNameClicked();
    return QFrame::eventFilter(watched, event);
}

void TBaseFramePanel::showTexts() {
    for (QAction* action : copiermenu_->actions())
        if (!action->isSeparator()) action->setEnabled(frame_.Current != nullptr);
    const TBaseFrameTexts& t = frame_.Texts;
    const auto set = [this](const char* name, const std::string& text) {
        Label(name)->setText(QString::fromStdString(text));
    };
    set("LabNom", t.LabNom);
    set("labDatecode", t.labDatecode);
    set("labDecalage", t.labDecalage);
    set("LabTimecode", t.LabTimecode);
    set("LabCodec", t.LabCodec);
    set("LabImage", t.LabImage);
    set("LabDuree", t.LabDuree);
    set("labFPS", t.labFPS);
    set("LabAudio1", t.LabAudio1);
    set("LabAudio2", t.LabAudio2);
    Label("labDecalage")->setVisible(t.labDecalageVisible);
    Label("labscn")->setVisible(t.labscnVisible);
    Label("labsrt")->setVisible(t.labsrtVisible);

    // The name shrinks to fit the panel, never below 8 points (11 pixels).
    QLabel* name = Label("LabNom");
    QFont font = name->font();
    font.setPixelSize(13);
    const int room = std::max(width() - 10, 50);
    const int textWidth = QFontMetrics(font).horizontalAdvance(name->text());
    if (textWidth > room) font.setPixelSize(std::max(11, 13 * room / textWidth));
    name->setFont(font);
    setToolTip(QString::fromStdString(t.Hint));
}

}  // namespace velinor
