#pragma once

namespace quorvel {

class TForm1;

// Gives the window's controls whose face tells a screen reader nothing (the
// three pictures, the banner's panel and the progress bar) names that say
// what they show. Buttons and labels are named by their captions.
void DescribeWindowControls(TForm1& form);

} // namespace quorvel
