#pragma once

#include "editor/highlight/SyntaxToken.h"
#include "platform/desktop/Cancellation.h"

#include <QCoro/QCoroTask>

#include <string>
#include <vector>

namespace velto::editor {

/// Turns the code of one fenced block and its language into syntax tokens. The editor reaches code
/// highlighting only through this, so it can run without a highlighter or with another one.
class CodeSyntaxHighlighting {
public:
    virtual ~CodeSyntaxHighlighting() = default;

    /// The tokens of the code (UTF-16) in the fence's language. Throws CancellationError once the token
    /// is cancelled, CodeSyntaxHighlightingError when highlighting fails, or the error of reading the
    /// highlighter's scripts.
    virtual QCoro::Task<std::vector<SyntaxToken>> tokens(std::u16string source, std::string language,
                                                         CancellationToken cancellation) = 0;
};

} // namespace velto::editor
