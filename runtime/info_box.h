// The information box of the "/ih" switch.
#pragma once

namespace fliran {

// Shows "Сделано в Kvorn." titled "Kvorn Info" with no owner window and waits until it is closed.
void ShowInfoBox();

}  // namespace fliran
