#include "commands/command.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "commands/file_ops.h"
#include "filelist/avi_fichier.h"
#include "platform/error_text.h"

namespace velinor {

namespace {

const char kToutesQuestions[] =
    "Si vous répondez \"Oui à Tous\" ou \"Non à Tous\", alors plus aucune confirmation ne sera demandée.";
const char kTousQuestions[] = "Si vous répondez \"Tous\", alors plus aucune confirmation ne sera demandée";

}  // namespace

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FormatCmdMessage(const std::string& format, const std::string& text, int number) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char c = format[i + 1];
            if (c == 's') {
                out += text;
                ++i;
                continue;
            }
            if (c == 'd') {
                out += std::to_string(number);
                ++i;
                continue;
            }
            if (c == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

// ---- tAbstractCmd

void tAbstractCmd::Abort(TCommandEngine& ce) {
    if (OnAbort) OnAbort(ce);
}

bool tAbstractCmd::CommandCondition(TCommandEngine& ce) {
    return OnCommandCondition ? OnCommandCondition(ce) : true;
}

bool tAbstractCmd::CommandConFirmation(TCommandEngine& ce) {
    return OnCommandConFirmation ? OnCommandConFirmation(ce) : true;
}

void tAbstractCmd::FileCondition(TAbstractListFichier* fichier, bool& visible, bool& enabled) {
    visible = true;
    enabled = true;
    if (OnFileCondition) OnFileCondition(fichier, visible, enabled);
}

// ---- tCustomCmd

void tCustomCmd::Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                           int passe) {
    if (OnExecution) OnExecution(fichier, params, ce, passe);
}

bool tCustomCmd::FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                                  int passe) {
    return OnFileVerification ? OnFileVerification(fichier, params, ce, passe) : true;
}

TAnswer tCustomCmd::FileConFirmation(TAbstractListFichier* fichier, const CmdParams& params,
                                     TCommandEngine& ce, int passe) {
    if (!OnFileConFirmation) return TAnswer::OuiATous;
    std::string q = OnFileConFirmation(fichier, params, ce, passe);
    const bool several = ce.FileCount() >= 2;
    if (several) q += std::string("\n") + kToutesQuestions;
    return ce.Confirmer ? ce.Confirmer->Ask(q, several) : TAnswer::NonATous;
}

// ---- TFastcmd

void TFastcmd::Guarded(TAbstractListFichier* fichier, TCommandEngine& ce, int passe,
                       const std::function<void()>& body) {
    try {
        if (!StartMessage.empty())
            ce.CommandMessage(FormatCmdMessage(StartMessage, fichier ? fichier->Name : std::string(), passe));
        body();
    } catch (const CommandReported&) {
    } catch (const CommandFailure& e) {
        const std::string path = fichier ? fichier->FileName : std::string();
        ce.CommandError(ErrorMessage.empty() ? (path.empty() ? e.what() : path + " : " + e.what())
                                             : FormatCmdMessage(ErrorMessage, path, passe) + "\n" + e.what(),
                        etError);
    } catch (const std::exception&) {
        ce.NoteFailure();
        if (!ErrorMessage.empty())
            ce.CommandError(
                FormatCmdMessage(ErrorMessage, fichier ? fichier->FileName : std::string(), passe), etError);
    }
}

void TFastcmd::Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                         int passe) {
    Guarded(fichier, ce, passe, [&] {
        if (tCustomCmd::OnExecution) tCustomCmd::OnExecution(fichier, params, ce, passe);
        if (UpdateFile == ufRemove) {
            if (!ce.RemoveCurrent()) throw std::runtime_error("remove");
        } else if (UpdateFile == ufReload) {
            if (!ce.ReloadCurrent()) throw std::runtime_error("reload");
        }
    });
}

// ---- Tcmd

void Tcmd::UpdateList(TCommandEngine& ce, bool complete) {
    bool ok = true;
    switch (UpdateFile) {
        case ufAdd:
            if (!Destination.empty()) ce.AddDestination(Destination);
            break;
        case ufRemove:
            if (complete) ok = ce.RemoveCurrent();
            break;
        case ufReload:
            ok = ce.ReloadCurrent();
            break;
        case ufReplace:
            // An incomplete output never replaces its source; it is listed beside it.
            if (complete && !Destination.empty())
                ok = ce.ReplaceCurrent(Destination);
            else if (!Destination.empty())
                ce.AddDestination(Destination);
            break;
        case ufRename:
            if (complete && !Destination.empty()) ok = ce.RenameCurrent(Destination);
            break;
        case ufNone:
            break;
    }
    if (!ok) throw CommandReported();
}

void Tcmd::Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce, int passe) {
    Guarded(fichier, ce, passe, [&] {
        if (OnExecution) OnExecution(fichier, Destination, params, ce, passe);
        UpdateList(ce, true);
    });
}

bool Tcmd::FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine&,
                            int passe) {
    if (!OnDestination) return true;
    Destination = OnDestination(fichier, params, passe);
    std::error_code ec;
    return !std::filesystem::exists(Destination, ec);
}

TAnswer Tcmd::FileConFirmation(TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
    std::string q = FormatCmdMessage("Voulez-vous écraser le fichier existant %s ?", Destination, 0);
    const bool several = ce.FileCount() >= 2;
    if (several) q += std::string("\n") + kTousQuestions;
    return ce.Confirmer ? ce.Confirmer->Ask(q, several) : TAnswer::NonATous;
}

// ---- TCommandEngine

TCommandEngine::TCommandEngine(UiDispatcher& ui) : ui_(ui) {}

TCommandEngine::~TCommandEngine() {
    if (worker_.joinable()) {
        InterruptAll();
        worker_.join();
    }
}

bool TCommandEngine::ExecuteCommand(tAbstractCmd& command, const CmdParams& params) {
    if (running_.load()) return false;
    if (worker_.joinable()) worker_.join();
    TFichierListModel* list = SourceFichierListbox;
    if (!list || !DestFichierListbox) return false;
    if (!command.CommandCondition(*this)) return false;
    command.Engine = this;
    files_.clear();
    switch (command.Nombre) {
        case fnSingle:
            if (list->ItemIndex() < 0 || list->ItemIndex() >= list->Count()) return false;
            fileCount_ = 1;
            files_.push_back(list->Item(list->ItemIndex()));
            break;
        case fnSelect:
            if (list->SelectedCount() == 0) return false;
            fileCount_ = list->SelectedCount();
            for (int i = 0; i < list->Count(); ++i)
                if (list->Selected(i)) {
                    files_.push_back(list->Item(i));
                    list->SetSelected(i, false);
                }
            break;
        case fnAll:
            if (list->Count() == 0) return false;
            fileCount_ = list->Count();
            for (int i = 0; i < list->Count(); ++i) {
                files_.push_back(list->Item(i));
                list->SetSelected(i, false);
            }
            break;
        case fnNone:
            fileCount_ = 0;
            break;
    }
    params_ = params;
    command_ = &command;
    skipRequested_ = false;
    stopRequested_ = false;
    failures_ = 0;
    refused_ = 0;
    {
        std::lock_guard lock(signalMutex_);
        signalled_ = false;
    }
    running_ = true;
    worker_ = std::thread([this] { run(); });
    return true;
}

bool TCommandEngine::verify(tAbstractCmd& command, TAbstractListFichier* record) {
    bool run = true;
    ui_.invoke([&] {
        // A file that needs no question runs whatever was answered before; "à tous" answers
        // stay for the files that do need one.
        if (command.FileVerification(record, params_, *this, passNumber_)) return;
        if (answer_ != TAnswer::NonATous && answer_ != TAnswer::OuiATous)
            answer_ = command.FileConFirmation(record, params_, *this, passNumber_);
        run = answer_ == TAnswer::Oui || answer_ == TAnswer::OuiATous;
    });
    return run;
}

void TCommandEngine::run() {
    tAbstractCmd& command = *command_;
    answer_ = TAnswer::Oui;
    ui_.invoke([&] {
        if (OnStartCommand) OnStartCommand();
    });
    // Re-read after every pass: a command may learn its number of passes in its first one.
    const auto lastPass = [&command] { return std::max<int32_t>(1, command.NbPasses); };
    const auto executeOnce = [&](TAbstractListFichier* record) {
        errorState_ = etNoError;
        try {
            command.Execution(record, params_, *this, passNumber_);
        } catch (const CommandReported&) {
        } catch (const std::exception& e) {
            // A command class that let an error through: said with the command's message.
            const std::string path = record ? record->FileName : std::string();
            const std::string what = e.what();
            const auto* fast = dynamic_cast<const TFastcmd*>(&command);
            CommandError(!fast || fast->ErrorMessage.empty()
                             ? (path.empty() ? what : path + " : " + what)
                             : FormatCmdMessage(fast->ErrorMessage, path, passNumber_) + "\n" + what,
                         etError);
        }
    };
    try {
        if (files_.empty()) {
            current_ = nullptr;
            for (passNumber_ = 1; passNumber_ <= lastPass(); ++passNumber_) {
                verify(command, nullptr);
                executeOnce(nullptr);
                if (stopRequested_) break;
            }
        } else {
            for (TAbstractListFichier* record : files_) {
                if (stopRequested_) break;
                if (skipRequested_.exchange(false)) continue;
                current_ = record;
                bool visible = true, enabled = true;
                ui_.invoke([&] {
                    command.FileCondition(record, visible, enabled);
                    if (enabled) return;
                    ++refused_;
                    if (OnRefuseFichier)
                        OnRefuseFichier(record, command.RefusalReason.empty()
                                                    ? "la commande ne s'applique pas à ce fichier"
                                                    : command.RefusalReason);
                });
                if (!enabled) continue;
                // A refused pass is passed over, so a multi-pass command never asks the same
                // question forever.
                for (passNumber_ = 1; passNumber_ <= lastPass(); ++passNumber_) {
                    const bool go = verify(command, current_);
                    if (answer_ == TAnswer::Annuler) break;
                    if (!go) continue;
                    ui_.invoke([&] {
                        SourceFichierListbox->SelectFichier(current_);
                        // Each file becomes the active one, so the window and the preview show it.
                        if (command.UpdateDisplay == udEach)
                            SourceFichierListbox->SetActiveIndex(
                                SourceFichierListbox->IndexOfPath(current_->FileName));
                        if (OnStartFichier) OnStartFichier(current_, params_, passNumber_);
                    });
                    executeOnce(current_);
                    if (errorState_ == etAllError) break;
                    ui_.invoke([&] {
                        if (OnEndFichier) OnEndFichier(current_, params_, passNumber_);
                    });
                    if (skipRequested_ || stopRequested_) break;
                }
                // The interruption that stopped this file is spent on it.
                if (!stopRequested_) skipRequested_ = false;
                if (answer_ == TAnswer::Annuler || errorState_ == etAllError) break;
            }
        }
    } catch (const std::exception& e) {
        // The questions and list updates run on the UI thread; one of them failed.
        CommandError("La commande " + command.Name + " a échoué : " + e.what(), etAllError);
    } catch (...) {
        CommandError("La commande " + command.Name + " a échoué.", etAllError);
    }
    ui_.invoke([&] {
        if (command.UpdateDisplay == udFinal) {
            SourceFichierListbox->NotifyActive();
            SourceFichierListbox->UpdateCounts();
        }
        if (OnEndCommand) OnEndCommand();
        command_ = nullptr;
        current_ = nullptr;
        running_ = false;
    });
}

void TCommandEngine::InterruptFile() {
    skipRequested_ = true;
    if (command_) try {
            command_->Abort(*this);
        } catch (...) {
        }
}

void TCommandEngine::InterruptAll() {
    stopRequested_ = true;
    InterruptFile();
}

void TCommandEngine::CommandMessage(const std::string& text) {
    ui_.invoke([&] {
        message_ = text;
        if (OnMessageCommand) OnMessageCommand(text);
    });
}

void TCommandEngine::CommandNotice(const std::string& text) {
    ui_.invoke([&] {
        if (OnNoticeCommand) OnNoticeCommand(text);
    });
}

void TCommandEngine::CommandError(const std::string& text, TErrorType type) {
    if (type != etNoError) NoteFailure();
    ui_.invoke([&] {
        errorMessage_ = text;
        errorState_ = type;
        if (OnErrorCommand) OnErrorCommand(text, type);
    });
}

void TCommandEngine::StartProgress(int64_t max) {
    ui_.invoke([&] {
        progressMax_ = max;
        progressPos_ = 0;
        if (OnStartProgress) OnStartProgress(max);
    });
}

void TCommandEngine::SetProgress(int64_t pos) {
    ui_.invoke([&] {
        progressPos_ = pos;
        if (OnSetProgress) OnSetProgress(pos);
    });
}

void TCommandEngine::EndProgress() {
    ui_.invoke([&] {
        if (OnEndProgress) OnEndProgress();
    });
}

bool TCommandEngine::WaitSignal(int milliseconds) {
    std::unique_lock lock(signalMutex_);
    const bool got =
        signalCv_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; });
    signalled_ = false;  // auto-reset
    return got;
}

void TCommandEngine::Signal() {
    {
        std::lock_guard lock(signalMutex_);
        signalled_ = true;
    }
    signalCv_.notify_one();
}

std::unique_ptr<TAbstractListFichier> TCommandEngine::makeRecord(const std::string& path) {
    if (FichierClass) return FichierClass(path);
    return std::make_unique<TAfficherFichier>(path);
}

namespace {

// Puts `record` into the list's cache under its path and answers the cached pointer.
TAbstractListFichier* Cache(TFichierListModel& list, std::unique_ptr<TAbstractListFichier> record) {
    TFichierList* cache = list.Cache();
    if (!cache) return nullptr;
    if (TAbstractListFichier* old = cache->Find(record->FileName))
        return cache->Replace(old, std::move(record));
    return cache->Adopt(std::move(record));
}

void KeepShift(const TAbstractListFichier* from, TAbstractListFichier* to) {
    const auto* a = dynamic_cast<const TaviFichier*>(from);
    auto* b = dynamic_cast<TaviFichier*>(to);
    if (a && b) {
        b->Decalage = a->Decalage;
        b->DecalageText = a->DecalageText;
    }
}

}  // namespace

bool TCommandEngine::AddDestination(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
    auto record = makeRecord(path);
    bool added = false;
    ui_.invoke([&] {
        TFichierListModel& list = *DestFichierListbox;
        TAbstractListFichier* raw = list.Cache() ? Cache(list, std::move(record)) : nullptr;
        if (!raw) return;
        list.AddFichier(raw, false);
        added = true;
    });
    return added;
}

bool TCommandEngine::RemoveCurrent() {
    if (!current_) return false;
    ui_.invoke([&] { SourceFichierListbox->RemoveFichier(current_); });
    return true;
}

bool TCommandEngine::ReloadCurrent() {
    if (!current_) return false;
    auto record = makeRecord(current_->FileName);
    KeepShift(current_, record.get());
    bool done = false;
    ui_.invoke([&] {
        TFichierListModel& list = *SourceFichierListbox;
        if (list.IndexOfPath(current_->FileName) < 0 || !list.Cache()) return;
        TAbstractListFichier* raw = record.get();
        if (list.ReplaceFichier(current_, std::move(record)) < 0) return;
        current_ = raw;
        done = true;
    });
    return done;
}

bool TCommandEngine::ReplaceCurrent(const std::string& path) {
    std::error_code ec;
    if (!current_ || path == current_->FileName || !std::filesystem::is_regular_file(path, ec)) return false;
    if (::unlink(current_->FileName.c_str()) != 0) {
        CommandError("Impossible de supprimer " + current_->FileName + " : " + ErrorText(errno), etError);
        return false;
    }
    auto record = makeRecord(path);
    ui_.invoke([&] {
        TFichierListModel& list = *SourceFichierListbox;
        TAbstractListFichier* raw = Cache(list, std::move(record));
        if (!raw) return;
        list.ReinsertFichier(current_, raw);
        current_ = raw;
    });
    return true;
}

void TCommandEngine::RekeyListed(const std::string& from, const std::string& to) {
    TAbstractListFichier* old = nullptr;
    ui_.invoke([&] {
        if (const int i = SourceFichierListbox->IndexOfPath(from); i >= 0)
            old = SourceFichierListbox->Item(i);
    });
    if (!old) return;
    auto record = makeRecord(to);
    KeepShift(old, record.get());
    ui_.invoke([&] {
        TFichierListModel& list = *SourceFichierListbox;
        if (list.IndexOfPath(from) < 0) return;
        if (TAbstractListFichier* raw = Cache(list, std::move(record))) list.ReinsertFichier(old, raw);
    });
}

bool TCommandEngine::RenameCurrent(const std::string& path) {
    if (!current_) return false;
    if (path == current_->FileName) return true;
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(current_->FileName, ec))) {
        if (std::string error = RenameNoReplace(current_->FileName, path); !error.empty()) {
            CommandError("Impossible de renommer " + current_->FileName + " en " + path + " : " + error,
                         etError);
            return false;
        }
    } else if (!std::filesystem::exists(path, ec)) {
        CommandError("Le fichier " + current_->FileName + " n'existe plus.", etError);
        return false;
    }
    auto record = makeRecord(path);
    KeepShift(current_, record.get());
    ui_.invoke([&] {
        TFichierListModel& list = *SourceFichierListbox;
        TAbstractListFichier* raw = Cache(list, std::move(record));
        if (!raw) return;
        list.ReinsertFichier(current_, raw);
        current_ = raw;
    });
    return true;
}

}  // namespace velinor
