#pragma once
// The batch commands and the engine that runs one of them over the file list in a worker
// thread. Commands are configured and started on the UI thread; their executions run on the
// engine's worker, and every event, list change, verification and question runs on the UI
// thread through the dispatcher while the worker waits.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "filelist/fichier_list.h"
#include "filelist/list_fichier.h"
#include "filelist/list_model.h"
#include "platform/dispatcher.h"

namespace velinor {

enum TcmdNombre : uint8_t { fnNone, fnSingle, fnSelect, fnAll };
enum TUpdateDisplay : uint8_t { udNone, udFinal, udEach };
enum TUpdateFile : uint8_t { ufNone, ufAdd, ufRemove, ufReload, ufReplace, ufRename };
enum TErrorType : uint8_t { etNoError, etError, etAllError };

// The answers of a confirmation box.
enum class TAnswer : uint8_t { Oui, Non, Annuler, NonATous, OuiATous };

using CmdParams = std::vector<std::string>;
class TCommandEngine;

// Thrown by a handler that has already reported its failure through CommandError: the pass
// ends and nothing more is reported.
class CommandReported : public std::runtime_error {
public:
    CommandReported() : std::runtime_error("reported") {}
};

// Thrown by a handler whose work could not be done for a reason the user must read (a graph
// that could not be built): the pass ends with the command's error message followed by the
// reason, and counts as a failure.
class CommandFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Answers the confirmation questions; called on the UI thread. `several` selects the five
// buttons (Oui, Non, Annuler, Non à tous, Oui à tous) instead of three.
class TConfirmer {
public:
    virtual ~TConfirmer() = default;
    virtual TAnswer Ask(const std::string& question, bool several) = 0;
};

// The base of every command: which files it takes, its passes, its conditions. Configured on the
// UI thread; Execution runs on the engine's worker, the other operations on the UI thread.
class tAbstractCmd {
public:
    virtual ~tAbstractCmd() = default;

    std::string Name;
    std::string Category;
    bool ShowProgress = false;
    int32_t NbPasses = 0;
    TcmdNombre Nombre = fnNone;
    TUpdateDisplay UpdateDisplay = udNone;
    std::function<void(TCommandEngine& ce)> OnAbort;
    std::function<bool(TCommandEngine& ce)> OnCommandCondition;
    std::function<void(TAbstractListFichier* fichier, bool& visible, bool& enabled)> OnFileCondition;
    // Why OnFileCondition refuses a file, in French ("le fichier n'a pas de datecode"); empty
    // gives a general reason.
    std::string RefusalReason;
    std::function<bool(TCommandEngine& ce)> OnCommandConFirmation;
    TCommandEngine* Engine = nullptr;

    virtual void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                           int passe) = 0;
    virtual void Abort(TCommandEngine& ce);
    virtual bool FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                                  int passe) = 0;
    virtual TAnswer FileConFirmation(TAbstractListFichier* fichier, const CmdParams& params,
                                     TCommandEngine& ce, int passe) = 0;
    virtual bool CommandCondition(TCommandEngine& ce);
    virtual bool CommandConFirmation(TCommandEngine& ce);
    virtual void FileCondition(TAbstractListFichier* fichier, bool& visible, bool& enabled);
};

// A command whose handlers do the work.
class tCustomCmd : public tAbstractCmd {
public:
    std::function<void(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce, int passe)>
        OnExecution;
    std::function<bool(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce, int passe)>
        OnFileVerification;
    // Returns the question to ask.
    std::function<std::string(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                              int passe)>
        OnFileConFirmation;

    void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                   int passe) override;
    bool FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                          int passe) override;
    TAnswer FileConFirmation(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                             int passe) override;
};

// A command with a start message, an error message and a list update after each file.
class TFastcmd : public tCustomCmd {
public:
    std::string StartMessage;  // printf format: file name (%s), pass (%d)
    std::string ErrorMessage;  // printf format: full path (%s), pass (%d)
    TUpdateFile UpdateFile = ufNone;

    void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                   int passe) override;

protected:
    // Runs `body` with the start message before and the error report after.
    void Guarded(TAbstractListFichier* fichier, TCommandEngine& ce, int passe,
                 const std::function<void()>& body);
};

// A command that produces or moves a file to a destination computed per file.
class Tcmd : public TFastcmd {
public:
    std::function<void(TAbstractListFichier* fichier, const std::string& destination, const CmdParams& params,
                       TCommandEngine& ce, int passe)>
        OnExecution;
    std::function<std::string(TAbstractListFichier* fichier, const CmdParams& params, int passe)>
        OnDestination;
    std::string Destination;  // of the current file

    void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                   int passe) override;
    bool FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                          int passe) override;
    TAnswer FileConFirmation(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                             int passe) override;

protected:
    // The list update after a run; destructive updates only when `complete`.
    void UpdateList(TCommandEngine& ce, bool complete);
};

// The file name of a path (the text after the last "/").
std::string FileNameOf(const std::string& path);
// printf-style "%s" and "%d" substitution of a command message, safe for any text.
std::string FormatCmdMessage(const std::string& format, const std::string& text, int number);

// Runs one command at a time over the file list. UI thread for everything except the
// operations the commands call from the worker (CommandMessage, CommandError, progress,
// WaitSignal, Interrupted and the list updates), which marshal to the UI thread themselves.
class TCommandEngine {
public:
    explicit TCommandEngine(UiDispatcher& ui);
    // Destroy it once Running() is false: a worker waiting for the UI thread cannot end while
    // the UI thread waits for it here.
    ~TCommandEngine();
    TCommandEngine(const TCommandEngine&) = delete;
    TCommandEngine& operator=(const TCommandEngine&) = delete;

    TFichierListModel* SourceFichierListbox = nullptr;
    TFichierListModel* DestFichierListbox = nullptr;
    TFichierList::RecordClass FichierClass;
    TConfirmer* Confirmer = nullptr;  // without one every question is answered "Non à tous"

    std::function<void()> OnStartCommand;
    std::function<void(TAbstractListFichier* aFichier, const CmdParams& aParams, int passe)> OnStartFichier;
    std::function<void(TAbstractListFichier* aFichier, const CmdParams& aParams, int passe)> OnEndFichier;
    std::function<void(const std::string& aMsg)> OnMessageCommand;
    std::function<void(const std::string& aMsg, TErrorType aErrorType)> OnErrorCommand;
    // A message that stays after the command ends, such as the partial file an interruption
    // left; the next command or opening replaces it.
    std::function<void(const std::string& aMsg)> OnNoticeCommand;
    // A file of the run that the command's file condition refused, with the command's reason
    // (UI thread). The window greys such files out; velinor-cli says why it passed them by.
    std::function<void(TAbstractListFichier* fichier, const std::string& reason)> OnRefuseFichier;
    std::function<void(int64_t progress)> OnStartProgress;
    std::function<void(int64_t progress)> OnSetProgress;
    std::function<void()> OnEndProgress;
    std::function<void()> OnEndCommand;

    // Starts the command; false when it does not run (no list, condition false, nothing
    // taken, or a command still running).
    bool ExecuteCommand(tAbstractCmd& command, const CmdParams& params = {});
    bool Running() const { return running_.load(); }
    void InterruptFile();
    void InterruptAll();
    bool Interrupted() const { return skipRequested_.load(); }
    bool StopRequested() const { return stopRequested_.load(); }

    void CommandMessage(const std::string& text);
    void CommandError(const std::string& text, TErrorType type);
    void CommandNotice(const std::string& text);
    void StartProgress(int64_t max);
    void SetProgress(int64_t pos);
    void EndProgress();
    bool WaitSignal(int milliseconds);
    void Signal();

    // List updates; each answers whether it changed the list.
    bool AddDestination(const std::string& path);
    bool RemoveCurrent();
    bool ReloadCurrent();
    bool ReplaceCurrent(const std::string& path);
    bool RenameCurrent(const std::string& path);
    // After a command moved another listed file from `from` to `to`, its record follows.
    void RekeyListed(const std::string& from, const std::string& to);

    // Runs `call` on the UI thread and waits.
    void InvokeUi(const std::function<void()>& call) { ui_.invoke(call); }

    TAbstractListFichier* Current() const { return current_; }
    int32_t PassNumber() const { return passNumber_; }
    int32_t FileCount() const { return fileCount_; }
    TAnswer Answer() const { return answer_; }
    TErrorType ErrorState() const { return errorState_; }
    const std::string& Message() const { return message_; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    int64_t ProgressMax() const { return progressMax_; }
    int64_t ProgressPos() const { return progressPos_; }
    // Passes that failed (raised or reported an error) in the last command.
    int32_t Failures() const { return failures_.load(); }
    void NoteFailure() { ++failures_; }
    // Files of the last command that its file condition refused.
    int32_t Refused() const { return refused_.load(); }

private:
    void run();
    bool verify(tAbstractCmd& command, TAbstractListFichier* record);
    std::unique_ptr<TAbstractListFichier> makeRecord(const std::string& path);

    UiDispatcher& ui_;
    std::thread worker_;
    std::atomic<bool> running_ = false;
    std::atomic<bool> skipRequested_ = false;
    std::atomic<bool> stopRequested_ = false;
    std::atomic<int32_t> failures_ = 0;
    std::atomic<int32_t> refused_ = 0;
    std::vector<TAbstractListFichier*> files_;
    CmdParams params_;
    tAbstractCmd* command_ = nullptr;
    TAbstractListFichier* current_ = nullptr;
    int32_t passNumber_ = 0;
    int32_t fileCount_ = 0;
    TAnswer answer_ = TAnswer::Oui;
    TErrorType errorState_ = etNoError;
    std::string message_;
    std::string errorMessage_;
    int64_t progressMax_ = 0;
    int64_t progressPos_ = 0;
    std::mutex signalMutex_;
    std::condition_variable signalCv_;
    bool signalled_ = false;
};

}  // namespace velinor
