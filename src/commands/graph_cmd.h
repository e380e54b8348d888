#pragma once
// The two command classes that carry most of the catalogue: one runs a media graph over each
// file as fast as the data flows, the other gives each file a new name. Configured on the UI
// thread; executed on the engine's worker.
#include <cstdint>
#include <functional>
#include <string>

#include "commands/command.h"
#include "graph/graph.h"

namespace velinor {

// Builds and runs one graph per file, with progress polled every 200 ms from the graph's
// position, and updates the list with what it produced. An interrupted run keeps and lists what
// was written, and says in a notice that the file is partial and how much of the source it holds.
class TGraphCmd : public Tcmd {
public:
    // Builds the graph for the file and answers it ready to run, or null to pass the file over.
    std::function<graph::Graph*(TAbstractListFichier* fichier, const std::string& wDest,
                                const CmdParams& params, int passe)>
        OnBuildGraph;
    int64_t Duree = 0;  // 100 ns; 0 = the graph's duration
    int64_t Debut = 0;  // 100 ns; subtracted from positions for progress

    void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                   int passe) override;
};

// Runs a built graph without a clock until it completes, fails or the command is interrupted, with
// progress every 200 ms from its position in frames (`duree` and `debut` in the same unit), then
// stops it. True when it completed; otherwise `failure` says why, empty for an interruption.
// `reached`, when given, gets the last position read, less `debut`.
bool RunGraphToEnd(graph::Graph& g, TCommandEngine& ce, int64_t duree, int64_t debut, std::string& failure,
                   int64_t* reached = nullptr);

// Renames each file to the destination its handler computes, then re-keys its record.
class TRenameCmd : public Tcmd {
public:
    std::function<bool(const std::string& destination, TAbstractListFichier* fichier, const CmdParams& params,
                       TCommandEngine& ce, int passe)>
        OnFileVerification;

    void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                   int passe) override;
    bool FileVerification(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                          int passe) override;
    TAnswer FileConFirmation(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                             int passe) override;
};

// The path of a file produced from `source`: beside it, or in `saveFolder` when `sameFolder` is
// false, with the extension replaced by `suffix` (e.g. "_type1.avi").
std::string DestinationPath(const std::string& source, const std::string& suffix, bool sameFolder,
                            const std::string& saveFolder);

}  // namespace velinor
