#pragma once

class QString;

namespace rio {

class RunContext;

// Before a run that would replace new-year archives (a company already opened:
// companiesWithNewYear of the data folder, those the host's choice names
// when it names some): a Yes/No box whose default is No
// names those companies and says that their new-year archive, and whatever was
// entered in it since, is replaced. True when there is none or the user
// answers Yes; on No one event line says nothing was changed. A root that
// cannot be read asks nothing: the check before the run says what is wrong.
// Writes nothing; reads a company's name from its old-year archive only when no
// interrupted write lies beside it and no other program holds it.
bool confirmReplacingNewYear(RunContext& ctx);

} // namespace rio
