// Whether the standard streams are a terminal (a console window on
// Windows): the progress line redraws itself only there, and the link test
// asks its question only there.
#pragma once

namespace ql::cli {

bool StandardErrorIsTerminal();
bool StandardInputIsTerminal();

}  // namespace ql::cli
