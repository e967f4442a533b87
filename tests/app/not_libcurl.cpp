// Stands where libcurl.so.4 is looked for first, and is not libcurl: the
// command-line row of a system whose libcurl cannot be loaded.
extern "C" int larkspire_not_libcurl = 0;
