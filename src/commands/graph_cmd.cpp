#include "commands/graph_cmd.h"

#include <chrono>
#include <filesystem>

#include "commands/file_ops.h"
#include "commands/window_texts.h"

namespace velinor {

namespace {
bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}
const char kTousQuestions[] = "Si vous répondez \"Tous\", alors plus aucune confirmation ne sera demandée.";
}  // namespace

bool RunGraphToEnd(graph::Graph& g, TCommandEngine& ce, int64_t duree, int64_t debut, std::string& failure,
                   int64_t* reached) {
    bool complete = false;
    if (reached) *reached = 0;
    g.setClock(nullptr);
    ce.StartProgress(duree / 1024);
    if (!g.run()) {
        failure = g.lastError();
        if (failure.empty()) failure = "Le traitement n'a pas pu démarrer.";
    } else {
        while (!ce.Interrupted()) {
            const int64_t position = g.currentPosition(graph::TimeFormat::MediaTime) - debut;
            if (reached) *reached = position;
            ce.SetProgress(position / 1024);
            const auto event = g.waitForEvent(std::chrono::milliseconds(200));
            if (!event) continue;
            if (event->type == graph::GraphEvent::Type::Complete) {
                complete = true;
                break;
            }
            if (event->type == graph::GraphEvent::Type::Error) {
                failure = event->message;
                break;
            }
        }
    }
    ce.EndProgress();
    if (!g.stop()) {
        complete = false;
        const std::string why = g.lastError();
        failure += (failure.empty() ? "" : "\n") + std::string("L'arrêt du traitement a échoué") +
                   (why.empty() ? "." : " : " + why);
    }
    return complete;
}

void TGraphCmd::Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                          int passe) {
    if (!OnBuildGraph) return;
    Guarded(fichier, ce, passe, [&] {
        Duree = 0;
        Debut = 0;
        graph::Graph* g = OnBuildGraph(fichier, Destination, params, passe);
        bool complete = false;
        if (g) {
            if (Duree == 0) Duree = g->duration(graph::TimeFormat::MediaTime);
            // Nothing to run is nothing done: the file fails with the reason.
            if (Duree <= 0) throw CommandFailure("Le fichier n'a pas de durée : il n'y a rien à traiter.");
            std::string failure;
            int64_t reached = 0;
            complete = RunGraphToEnd(*g, ce, Duree, Debut, failure, &reached);
            if (!complete && failure.empty() && !Destination.empty() && Exists(Destination)) {
                UpdateList(ce, false);
                ce.CommandNotice(PartialFileMessage(Destination, reached, Duree));
                return;
            }
            if (!failure.empty()) {
                complete = false;
                // What was written stays listed; nothing is replaced or removed.
                try {
                    UpdateList(ce, false);
                } catch (const CommandReported&) {
                }
                // The command's own message first, when it has one, then the reason.
                const std::string path = fichier ? fichier->FileName : std::string();
                ce.CommandError(ErrorMessage.empty()
                                    ? (fichier ? path + " : " + failure : failure)
                                    : FormatCmdMessage(ErrorMessage, path, passe) + "\n" + failure,
                                etError);
                throw CommandReported();
            }
        }
        UpdateList(ce, complete);
    });
}

void TRenameCmd::Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                           int passe) {
    Guarded(fichier, ce, passe, [&] {
        // Destinations read the window's settings, which belong to the UI thread.
        if (OnDestination) ce.InvokeUi([&] { Destination = OnDestination(fichier, params, passe); });
        if (Tcmd::OnExecution) Tcmd::OnExecution(fichier, Destination, params, ce, passe);
        if (!Destination.empty() && !ce.RenameCurrent(Destination)) throw CommandReported();
    });
}

bool TRenameCmd::FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                                  int passe) {
    return OnFileVerification ? OnFileVerification(Destination, fichier, params, ce, passe) : true;
}

TAnswer TRenameCmd::FileConFirmation(TAbstractListFichier* fichier, const CmdParams& params,
                                     TCommandEngine& ce, int passe) {
    if (OnDestination) Destination = OnDestination(fichier, params, passe);
    std::string q =
        "Voulez-vous renommer " + (fichier ? fichier->Name : std::string()) + " en " + Destination + " ?";
    const bool several = ce.FileCount() >= 2;
    if (several) q += std::string("\n") + kTousQuestions;
    return ce.Confirmer ? ce.Confirmer->Ask(q, several) : TAnswer::NonATous;
}

std::string DestinationPath(const std::string& source, const std::string& suffix, bool sameFolder,
                            const std::string& saveFolder) {
    const std::string renamed = ReplaceExtension(source, suffix);
    if (sameFolder) return renamed;
    std::string folder = saveFolder;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + FileNameOf(renamed);
}

}  // namespace velinor
