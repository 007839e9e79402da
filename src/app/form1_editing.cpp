// List editing and drag reordering of the file list.
#include "app/form1.h"

namespace quorrix {

void Form1::PushButton3_Click() {}
void Form1::PushButton5_Click() {}
void Form1::PushButton6_Click() { ListView1->clear(); }
void Form1::ListView1_DblClick() {}
void Form1::ListView1_KeyDown(int, Qt::KeyboardModifiers) {}
void Form1::ListView1_ItemClick() {}
void Form1::ListView1_MouseDown(Qt::MouseButton) {}
void Form1::ListView1_MouseMove(int, int) { hoverOverSurface(); }
void Form1::ListView1_MouseUp(Qt::MouseButton) {}

}  // namespace quorrix
