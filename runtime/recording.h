// Live recording: rows of values appended to a CSV file that the operator starts and stops from
// a strip chart's context menu ("Record frames to CSV...", "Stop recording"). Each row begins with
// the local time (ISO 8601, milliseconds) and the seconds since the recording began. Rows are
// buffered and written at least once a second, so appending never waits for the disk; a write
// failure stops the recording, keeps every whole row already written and says so in the charts'
// tool tip. A small mark on the charts shows "REC" and the row count.
#pragma once

// The names of the value columns, comma-separated; the header row is "time,seconds," + columns.
void SetRecordColumns(const char* columns);
// 1 while a recording runs.
int RecordingActive();
// Appends one row of count values; nothing when no recording runs.
void RecordRow(const int* values, int count);
// Writes out what is buffered.
void FlushRecording();
// Ends the recording: everything buffered is written and the file closed.
void StopRecording();
