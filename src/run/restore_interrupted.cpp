// A restore stopped at the front end's request: what it says of the data folder.
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "run/restore_record.h"

namespace rio {

RunOutcome restoreInterrupted(RunContext& ctx, const RestoreRecord& record)
{
    RunState& state = ctx.state();
    const QString data = record.dataFolder.isEmpty() ? layout::dataFolder(record.root) : record.dataFolder;
    const bool inPlace = fs::FolderExists(data);
    if (inPlace && !state.log && ctx.host().logWanted() &&
        fs::FolderExists(layout::tempFolder(record.root))) {
        try {
            state.log = std::make_unique<fs::LogFile>(layout::logFilePath(record.root));
        } catch (const Error&) {
            // The screen has the line.
        }
    }
    const QString text =
        inPlace ? QStringLiteral("RIPRISTINO INTERROTTO DALL'UTENTE: la cartella dati %1 è quella di prima "
                                 "del ripristino")
                      .arg(data)
                : QStringLiteral("RIPRISTINO INTERROTTO DALL'UTENTE: la cartella dati %1 non è al suo posto; "
                                 "un nuovo ripristino o ESEGUI propongono di rimetterla")
                      .arg(data);
    try {
        ctx.addErrorLine(text);
    } catch (const Error&) {
        // The log cannot take it: the screen has it.
    }
    ctx.writeHeldLogLines();
    state.release();
    ctx.host().showBusy(false);
    return RunOutcome::Interrupted;
}

} // namespace rio
