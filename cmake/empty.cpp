// Keeps a library target valid while its folder holds only headers.
