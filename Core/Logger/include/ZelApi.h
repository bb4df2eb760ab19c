#pragma once

// Marks a class or function of a Core library that plug-ins (built with hidden visibility) use.
#define ZEL_API __attribute__((visibility("default")))
