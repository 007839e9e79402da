// Samples and help.
#include "app/form1.h"

namespace quorrix {

void Form1::PushButton7_Click() {}
void Form1::PushButton8_Click() {}

}  // namespace quorrix
