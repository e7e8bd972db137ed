// What screen readers meet in the window where Qt's own accessibility falls short of what they
// speak: the window as a frame with its title, the boxes' text, the result lines and the link.
#pragma once

class QLabel;
class QString;
class QWidget;

// Call before the window makes its controls, so that each control gets its interface here.
void InstallAccessibleInterfaces();

// Has screen readers speak the sentence a result line now shows.
void AnnounceResult(QLabel* line);

// Has screen readers speak psText as news from the control, which shows nothing of it.
void Announce(QWidget* control, const QString& psText);
