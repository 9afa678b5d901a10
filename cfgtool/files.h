// Standard output as the bytes written: the lines carry their own CR LF.
#pragma once

// Keeps the platform's text mode from turning each CR LF into CR CR LF.
void SetStdoutBinary();
