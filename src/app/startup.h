#pragma once

#include <QString>

// Start-up routines of the window program.
namespace Main {

// The application title derived from a product name: the last word is always dropped, further
// words only while the text is longer than 40 characters. A name without a space is kept whole.
QString deriveApplicationTitle(const QString& productName);

// Sets the application title from the product name.
void SetApplicationTitle();

// Waits the given number of seconds while the window keeps processing its events.
void WaitSeconds(double seconds);

// True when the modification date and time of the path can be read. Never fails.
bool HasFileDate(const QString& path);

}  // namespace Main
