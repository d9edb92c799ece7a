#include "platform/shared_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>

namespace pellora {

TSharedText::TSharedText(std::string_view text) {
  if (text.empty()) return;
  const size_t size = std::min<size_t>(text.size(), std::numeric_limits<uint32_t>::max());
  void* memory = std::malloc(sizeof(TBlock) + size + 1);
  if (!memory) throw std::bad_alloc();
  FBlock = new (memory) TBlock{{1}, static_cast<uint32_t>(size)};
  std::memcpy(Chars(FBlock), text.data(), size);
  Chars(FBlock)[size] = '\0';
}

void TSharedText::Release() noexcept {
  if (FBlock && FBlock->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    FBlock->~TBlock();
    std::free(FBlock);
  }
}

std::ostream& operator<<(std::ostream& out, const TSharedText& text) {
  return out << text.view();
}

} // namespace pellora
