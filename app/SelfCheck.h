#pragma once
// A check that the installed program is whole: with STILLWISE_SELFCHECK set
// in the environment, Stillwise starts as usual, waits for the first frame
// to be painted, makes sure its pictures and icon are there, prints one line
// saying so and how long the first frame took, and ends (exit code 0, or 1
// when something is missing or no frame came within ten seconds).

#include <QElapsedTimer>

class TMainForm;

bool SelfCheckRequested();
void InstallSelfCheck(TMainForm& form, const QElapsedTimer& sinceStart);
