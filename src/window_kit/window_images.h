#pragma once
#include <QIcon>

namespace pellora {

// The window images `ilWin`: 0 window title, 1 restore, 2 minimize, 3 maximize, 4 close,
// 5 message opened from a list, 6 message, 7 database, 8 message folder, 9 mailbox file.
constexpr int WindowImageCount = 10;
QIcon WindowImage(int index);

// Images of the frame's actions.
enum class TActionImage { Open, Exit, About, Cascade, TileHorizontal, TileVertical };
QIcon ActionImage(TActionImage image);

// Images of the message list: 0 paper clip, 1 high priority, 2 low priority, 3 flag,
// 4 opened envelope, 5 closed envelope.
constexpr int ListImageCount = 6;
QIcon ListImage(int index);

// The program's own icon.
QIcon ProgramIcon();

} // namespace pellora
