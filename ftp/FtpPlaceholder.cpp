// PLACEHOLDER: the FTP server is not written yet.
