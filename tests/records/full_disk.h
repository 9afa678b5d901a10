// A disk that fills up, for tests of what a failed write leaves: linking
// full_disk.cpp puts it in place of records/diskfile_posix.cpp. Every file
// opened through OpenDiskFile is a real file, and its writes land on the real
// disk until the room set here is used up; the rest of a write then fails.
#pragma once

// Lets the next bytes written, across all files, come to room; below 0, no limit.
void SetDiskRoom(long long room);
