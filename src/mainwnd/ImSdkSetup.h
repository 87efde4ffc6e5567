#pragma once

// Starts what the IM session needs: the HTTP transport, then the IM library from the application
// folder with the client's configuration (its app key, the data folder name "Examora", the IM
// server of the environment). False when the library could not be started; the client then runs
// without the IM channel.
bool InitImSdk();
