#pragma once
// A check that the installed program is whole: with STILLWISE_SELFCHECK set
// in the environment, Stillwise starts as usual, waits for the first frame
// to be painted, makes sure its pictures and icon are there, prints one line
// saying so and how long the first frame took, and ends (exit code 0, or 1
// when something is missing or no frame came within ten seconds).
//
// The same run can measure the program from outside:
//   STILLWISE_SELFCHECK_SECONDS=N   after the first frame and one second to
//                                   settle, count for N seconds the frames
//                                   painted in the top pane and the processor
//                                   time of the whole program, and print a
//                                   second line with them
//   STILLWISE_SELFCHECK_SIZE=WxH    first ask the camera for W x H pixels at
//                                   24 bits (exit code 1 if it refuses)
//   STILLWISE_SELFCHECK_WHOLE=1     make the window large enough to show both
//                                   whole frames at 100 %, panes half and half
//   STILLWISE_SELFCHECK_EVERY=N     from the first frame on, every N seconds a
//                                   line on stderr with the frames the capture
//                                   window has handed out and dropped so far
//                                   (bench/soak.sh reads it)
//   STILLWISE_SELFCHECK_WEBCAM=1    after the first frame tick "Als Webcam
//                                   ausgeben", or say why it cannot be ticked
//   STILLWISE_SELFCHECK_GRAB=FILE   two seconds after the first frame, when
//                                   the running average has settled, save a
//                                   picture of the main window as drawn by
//                                   the program to FILE (PNG) and end
//                                   (scripts/screenshots.sh)

#include <QElapsedTimer>

class TMainForm;

bool SelfCheckRequested();
void InstallSelfCheck(TMainForm& form, const QElapsedTimer& sinceStart);
