#pragma once

#include <QString>

// The self-signed certificate of the TLS test servers: RSA 2048, CN 127.0.0.1 with 127.0.0.1,
// ::1 and localhost as alternative names, made once per test process with `openssl req -x509`
// in a temporary folder that lives as long as the process.
class TestCertificate {
public:
    // The process's certificate, made on first use; null (and `error` set) when openssl failed.
    static const TestCertificate* get(QString* error);

    QString certFile; // the certificate, PEM
    QString keyFile; // its private key, PEM
    QString pemFile; // key and certificate in one file (pyftpdlib)
    QString sha256Fingerprint; // of the DER certificate, upper-case hex pairs joined by ":"
};
