#pragma once

#include <string>

// What an errno of writing means to a user who has to do something about it.
std::string writeErrorText(int error);
