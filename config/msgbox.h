// What is wrong with a configuration file, told to the user at start-up.
#pragma once

// Shows the text to the user: a message box on Windows, standard error elsewhere.
void ShowConfigError(const wchar_t *text, const wchar_t *caption);
