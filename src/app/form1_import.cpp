// "Start Importing Project Files".
#include "app/form1.h"

namespace quorrix {

void Form1::PushButton2_Click() {}

}  // namespace quorrix
