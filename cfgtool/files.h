// The platform's side of writing: standard output as the bytes written.
#pragma once

// Keeps the platform's text mode from turning each CR LF into CR CR LF.
void SetStdoutBinary();
