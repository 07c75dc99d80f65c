#pragma once

#include <QImage>
#include <QString>

// The program's pictures, compiled in as ready pixels: "category/<0-44>",
// "filetype/<1-3>", "action32/<0-10>", "action16/<0-10>" and "app/<size>".
// A name the pack does not hold gives a null picture.
QImage Picture(const QString& name);
