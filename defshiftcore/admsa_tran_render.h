// The text of one definition as the command file holds it: the remarks that
// show its stanza entries, then its tavoadd and tavoupdate commands.
#ifndef DEFSHIFTCORE_ADMSA_TRAN_RENDER_H_
#define DEFSHIFTCORE_ADMSA_TRAN_RENDER_H_

#include <string>

#include "admsa_tran_check.h"
#include "admsa_tran_record.h"

// The lines of Record: the remarks showing its stanza entries, then its tavoadd
// line (not for the region definition) and one tavoupdate line for every two
// attributes; when Pack, a tavoupdate line for as many attributes, in order, as
// keep it within kPackedLineLimit with its check after it (PackArguments). The
// region, the name and each attribute, as the remarks show it (every \" a
// plain "), are written as AppendArgument writes a program argument, and each
// line is escaped as AppendScriptEscaped escapes it. With Checks, the lines are
// those AppendChecked makes of them: the commands whose fingerprints the
// journal holds are left out, and *rCounts (when not null) tells what became
// of them; with none, every line is written and *rCounts stays as it is. A record that
// is not initialised, and a region definition without attributes, give no
// lines. The text stays valid until the next call, on the writer's one thread.
const std::string& RenderDefinition(const AttrToScript& Record, const CommandChecks* Checks,
                                    bool Pack, CheckCounts* rCounts);

#endif  // DEFSHIFTCORE_ADMSA_TRAN_RENDER_H_
