#pragma once
// An export run from a window: the user sees its progress and may cancel it, and meanwhile
// nothing else.
#include "export/message_export.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QWidget;

namespace pellora {

// Runs ExportMessages for window (PDFs made by one renderer for the run): show gets its progress, the cancel button (shown while it
// runs) and Esc stop it before the next message. Until it ends no other input reaches the
// program, but the answers to its questions (replace a file? which other name?), asked in boxes.
TExportResult RunWindowExport(QWidget* window, QAbstractButton* cancel, TMailbox& box,
                              const std::vector<uint32_t>& rows, TExportFormat format,
                              const std::string& target,
                              const std::function<void(uint64_t done, uint64_t total)>& show);

} // namespace pellora
