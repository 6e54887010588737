#pragma once
// The states of the install flow, stored as plain integers in m_flowState.

enum FlowState : int {
    Stopped = 0,      // after the third failed extraction: ticks do nothing
    Requesting = 1,   // asking the notice server for vaskpc.txt
    Deciding = 2,     // the server's record is in: find, update or place the installation
    Downloading = 3,  // Client.zip is being downloaded
    Extracting = 4,   // Client.zip is being extracted into the client directory
    Launching = 5,    // the game start was attempted: ticks do nothing
};
