#pragma once
// An immutable text that copies share: the texts of list rows. A big store lists hundreds of
// thousands of rows of a dozen texts each, many of them the same from row to row (the store's
// path, a list's sender); a pointer per text instead of a string object keeps a row small, and
// equal texts can be held once.
#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

namespace pellora {

class TSharedText {
public:
  TSharedText() noexcept = default;
  TSharedText(std::string_view text);
  TSharedText(const std::string& text) : TSharedText(std::string_view(text)) {}
  TSharedText(const char* text) : TSharedText(std::string_view(text)) {}
  TSharedText(const TSharedText& other) noexcept : FBlock(other.FBlock) {
    if (FBlock) FBlock->Refs.fetch_add(1, std::memory_order_relaxed);
  }
  TSharedText(TSharedText&& other) noexcept : FBlock(std::exchange(other.FBlock, nullptr)) {}
  TSharedText& operator=(TSharedText other) noexcept {
    std::swap(FBlock, other.FBlock);
    return *this;
  }
  ~TSharedText() { Release(); }

  size_t size() const noexcept { return FBlock ? FBlock->Size : 0; }
  bool empty() const noexcept { return FBlock == nullptr; }
  const char* data() const noexcept { return FBlock ? Chars(FBlock) : ""; }
  const char* c_str() const noexcept { return data(); }
  std::string_view view() const noexcept { return {data(), size()}; }
  operator std::string_view() const noexcept { return view(); }
  std::string str() const { return std::string(view()); }

  // Whether both hold the same storage.
  bool SharesWith(const TSharedText& other) const noexcept { return FBlock == other.FBlock; }
  // Makes this hold other's storage when the texts are equal.
  void ShareIfEqual(const TSharedText& other) {
    if (FBlock != other.FBlock && view() == other.view()) *this = other;
  }

  friend bool operator==(const TSharedText& a, std::string_view b) noexcept {
    return a.view() == b;
  }
  friend std::strong_ordering operator<=>(const TSharedText& a, std::string_view b) noexcept {
    return a.view() <=> b;
  }

private:
  struct TBlock {
    std::atomic<uint32_t> Refs;
    uint32_t Size; // texts past 4 GiB are cut: no header text comes near it
  };
  static char* Chars(TBlock* block) noexcept { return reinterpret_cast<char*>(block + 1); }
  void Release() noexcept;

  TBlock* FBlock = nullptr; // null for the empty text
};

std::ostream& operator<<(std::ostream& out, const TSharedText& text);

} // namespace pellora
