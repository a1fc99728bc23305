// Marks the plug-in's exported symbols; everything else stays inside the library.
#pragma once

#define KESTREL_EXPORT __attribute__((visibility("default")))
