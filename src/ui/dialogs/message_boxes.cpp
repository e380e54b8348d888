#include "ui/dialogs/message_boxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

#include "ui/kit/qt_text.h"

namespace velinor {

void ShowErrorBox(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, kErrorTitle, Q(text), QMessageBox::Ok, parent);
    box.exec();
}

void ShowInformationBox(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Information, kInformationTitle, Q(text), QMessageBox::Ok, parent);
    box.exec();
}

TAnswer AskConfirmation(QWidget* parent, const std::string& question, bool several) {
    QMessageBox box(QMessageBox::Question, kConfirmationTitle, Q(question), QMessageBox::NoButton, parent);
    struct Choice {
        const char* caption;
        TAnswer answer;
        QMessageBox::ButtonRole role;
    };
    const Choice choices[] = {{"&Oui", TAnswer::Oui, QMessageBox::YesRole},
                              {"&Non", TAnswer::Non, QMessageBox::NoRole},
                              {"Annuler", TAnswer::Annuler, QMessageBox::RejectRole},
                              {"N&on à Tous", TAnswer::NonATous, QMessageBox::NoRole},
                              {"Oui à &Tous", TAnswer::OuiATous, QMessageBox::YesRole}};
    std::vector<std::pair<QAbstractButton*, TAnswer>> buttons;
    for (size_t i = 0; i < (several ? 5u : 3u); ++i)
        buttons.emplace_back(box.addButton(QString::fromUtf8(choices[i].caption), choices[i].role),
                             choices[i].answer);
    box.setEscapeButton(buttons[2].first);
    box.exec();
    for (const auto& [button, answer] : buttons)
        if (box.clickedButton() == button) return answer;
    return TAnswer::Annuler;
}

TAnswer AskWarning(QWidget* parent, const std::string& question, bool cancel) {
    QMessageBox box(QMessageBox::Warning, kConfirmationTitle, Q(question), QMessageBox::NoButton, parent);
    QAbstractButton* yes = box.addButton("&Oui", QMessageBox::YesRole);
    QAbstractButton* no = box.addButton("&Non", QMessageBox::NoRole);
    QAbstractButton* annuler = cancel ? box.addButton("Annuler", QMessageBox::RejectRole) : nullptr;
    box.setEscapeButton(annuler ? annuler : no);
    box.exec();
    if (box.clickedButton() == yes) return TAnswer::Oui;
    if (box.clickedButton() == no || !cancel) return TAnswer::Non;
    return TAnswer::Annuler;
}

std::optional<TSavePreferences> AskPreferencesMode(QWidget* parent, const std::string& caption) {
    QMessageBox box(parent);
    box.setWindowTitle(Q(caption));
    box.setTextFormat(Qt::RichText);
    // The store's message is in the rich label's markup; Qt reads its <br> and <i>.
    QString text = Q(kSavePrefsMessage);
    text.replace("<size 10>", "").replace("</size>", "");
    box.setText(text);
    std::vector<std::pair<QAbstractButton*, TSavePreferences>> buttons;
    for (const SavePrefsChoice& choice : kSavePrefsChoices) {
        QPushButton* b = box.addButton(QString::fromUtf8(choice.caption), QMessageBox::AcceptRole);
        b->setToolTip(QString::fromUtf8(choice.hint));
        buttons.emplace_back(b, choice.mode);
    }
    box.addButton("Annuler", QMessageBox::RejectRole);
    box.exec();
    for (const auto& [button, mode] : buttons)
        if (box.clickedButton() == button) return mode;
    return std::nullopt;
}

}  // namespace velinor
