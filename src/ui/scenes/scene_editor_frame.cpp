#include "ui/scenes/scene_editor_frame.h"

#include <algorithm>
#include <iterator>

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "commands/scene_editor.h"
#include "ui/kit/qt_text.h"

namespace velinor {

namespace {

QImage ImageOf(const ScenePicture& picture) {
    if (picture.empty()) return {};
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* from = picture.rowFromTop(y);
        uchar* to = image.scanLine(y);
        for (int x = 0; x < picture.width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return image;
}

QLabel* AddLabel(QVBoxLayout* layout, const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    layout->addWidget(label);
    return label;
}

}  // namespace

TSceneEditorFrame::TSceneEditorFrame(TSceneEditor& editor, QWidget* parent)
    : QFrame(parent), editor_(editor) {
    setObjectName("SceneEditor");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(2);

    auto* panel = new QFrame(this);
    panel->setObjectName("SceneBase");
    panel->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QVBoxLayout(panel);
    rows->setContentsMargins(4, 4, 4, 4);
    rows->setSpacing(1);
    label1_ = AddLabel(rows, "Label1", panel);
    label1_->setText(Q("* Editeur de scènes *"));
    label1_->setStyleSheet("color: navy; font-family: Arial;");
    label1_->setToolTip(Q(kPanelHint));
    labScene_ = AddLabel(rows, "labScene", panel);
    QFont bold("Arial");
    bold.setBold(true);
    labScene_->setFont(bold);
    labTimeStamp_ = AddLabel(rows, "labTimeStamp", panel);
    labDuree_ = AddLabel(rows, "labDuree", panel);
    labTimecode_ = AddLabel(rows, "labTimecode", panel);
    labDatecode_ = AddLabel(rows, "labDatecode", panel);
    imageArea_ = new QWidget(panel);
    imageArea_->setFixedSize(kImageWidth, kImageHeight);
    image_ = new QLabel(imageArea_);
    image_->setObjectName("image");
    image_->setScaledContents(true);
    image_->setToolTip(Q("Cliquez pour positionner la vidéo à l'endroit de cette image"));
    image_->setCursor(Qt::PointingHandCursor);
    image_->installEventFilter(this);
    rows->addWidget(imageArea_);
    memoTitre_ = new QPlainTextEdit(panel);
    memoTitre_->setObjectName("memoTitre");
    memoTitre_->setReadOnly(true);
    memoTitre_->setFixedHeight(44);
    memoTitre_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoTitre_->viewport()->setCursor(Qt::PointingHandCursor);
    memoTitre_->setToolTip(Q("Cliquez pour éditer le titre et sous-titre."));
    memoTitre_->viewport()->installEventFilter(this);
    rows->addWidget(memoTitre_);
    column->addWidget(panel);

    auto* sframe = new QFrame(this);
    sframe->setObjectName("SFrame");
    auto* listRows = new QVBoxLayout(sframe);
    listRows->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(sframe);
    list_->setObjectName("lbScenes");
    list_->setUniformItemSizes(true);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    listRows->addWidget(list_, 1);
    labSelect_ = new QLabel(sframe);
    labSelect_->setObjectName("labSelect");
    listRows->addWidget(labSelect_);
    column->addWidget(sframe, 1);
}

void TSceneEditorFrame::SetFileLabel(const std::string& name) {
    labSelect_->setText(Q(name));
}

void TSceneEditorFrame::WatchVideo(QWidget& video) {
    video_ = &video;
    video.installEventFilter(this);
}

void TSceneEditorFrame::FocusList() {
    list_->setFocus();
}

void TSceneEditorFrame::Sync() {
    TSFrame& scenes = editor_.List;
    const QSignalBlocker block(list_);
    bool same = list_->count() == int(scenes.Count());
    for (int i = 0; same && i < list_->count(); ++i)
        same = list_->item(i)->text() == Q(scenes.CaptionAt(size_t(i)));
    if (!same) {
        list_->clear();
        QStringList captions;
        captions.reserve(int(scenes.Count()));
        for (size_t i = 0; i < scenes.Count(); ++i) captions << Q(scenes.CaptionAt(i));
        list_->addItems(captions);
    }
    if (const auto current = editor_.Current())
        list_->setCurrentRow(int(*current));
    else
        list_->setCurrentRow(-1);
    showScene(editor_.Shown());
}

void TSceneEditorFrame::showScene(const TSceneClass* scene) {
    if (!scene) {
        for (QLabel* label : {labScene_, labTimeStamp_, labDuree_, labTimecode_, labDatecode_})
            label->clear();
        image_->clear();
        image_->hide();
        memoTitre_->clear();
        return;
    }
    labDuree_->setText(Q("Durée " + scene->Duree));
    labScene_->setText(Q("Scène " + std::to_string(scene->Numero)));
    labDatecode_->setText(Q(scene->DatecodeText));
    labTimecode_->setText(Q(scene->TimecodeText));
    labTimeStamp_->setText(Q(scene->TimeStamp));
    // The largest rectangle of the thumbnail's proportions that fits the area, centred in it.
    const ScenePicture& picture = scene->Image;
    if (picture.empty()) {
        image_->clear();
        image_->hide();
    } else {
        int w = kImageWidth, h = kImageWidth * picture.height / picture.width;
        if (h > kImageHeight) {
            h = kImageHeight;
            w = kImageHeight * picture.width / picture.height;
        }
        image_->setGeometry((kImageWidth - w) / 2, (kImageHeight - h) / 2, w, h);
        image_->setPixmap(QPixmap::fromImage(ImageOf(picture)));
        image_->show();
    }
    memoTitre_->setPlainText(Q(scene->Titre + "\r\n" + scene->SousTitre));
}

void TSceneEditorFrame::selectCurrentRow() {
    const int row = list_->currentRow();
    if (row < 0) return;
    editor_.Select(size_t(row));
    if (OnMoved) OnMoved();
}

bool TSceneEditorFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == list_->viewport() && type == QEvent::MouseButtonRelease) {
        selectCurrentRow();
    } else if (watched == list_ && type == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        static const int kKeys[] = {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End,   Qt::Key_Home,
                                    Qt::Key_Up,     Qt::Key_Down,     Qt::Key_Delete};
        const bool selecting = std::find(std::begin(kKeys), std::end(kKeys), key->key()) != std::end(kKeys);
        if (selecting && !key->isAutoRepeat() && key->modifiers() == Qt::NoModifier &&
            QGuiApplication::mouseButtons() == Qt::NoButton)
            selectCurrentRow();
    } else if (watched == image_ && type == QEvent::MouseButtonRelease) {
        editor_.PictureClicked();
        if (OnMoved) OnMoved();
    } else if (watched == memoTitre_->viewport() && type == QEvent::MouseButtonRelease) {
        if (OnTitleClicked) OnTitleClicked();
    } else if (watched == video_ && type == QEvent::MouseButtonPress && editor_.IsOpen()) {
        editor_.VideoClicked();
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace velinor
