#!/usr/bin/python3
"""An RFC 3161 time-stamping authority for one test run: `openssl ts -reply` behind an HTTP server on
the loopback, with a throw-away key and certificate made at start.
   timestamp-authority.py DIR LIFETIME_SECONDS
Writes DIR/tsa.pem (the authority's certificate, which verifiers trust) and, once it listens,
DIR/url. Answers every POST of a time-stamp query with the reply; ends after LIFETIME_SECONDS even
when nobody stops it."""
import datetime
import http.server
import os
import subprocess
import sys
import tempfile
import time

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

directory, lifetime = sys.argv[1], float(sys.argv[2])
deadline = time.monotonic() + lifetime

# openssl refuses to answer ("invalid signer certificate purpose") unless the signer is a leaf whose
# only purpose is time stamping.
key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Quillon Test Time Stamping")])
now = datetime.datetime.now(datetime.timezone.utc)
certificate = (
    x509.CertificateBuilder()
    .subject_name(name)
    .issuer_name(name)
    .public_key(key.public_key())
    .serial_number(x509.random_serial_number())
    .not_valid_before(now - datetime.timedelta(days=1))
    .not_valid_after(now + datetime.timedelta(days=30))
    .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
    .add_extension(x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=False,
                                 data_encipherment=False, key_agreement=False, key_cert_sign=False,
                                 crl_sign=False, encipher_only=False, decipher_only=False), critical=True)
    .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.TIME_STAMPING]), critical=True)
    .sign(key, hashes.SHA256())
)
with open(f"{directory}/tsa.key", "wb") as out:
    out.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                serialization.NoEncryption()))
with open(f"{directory}/tsa.pem", "wb") as out:
    out.write(certificate.public_bytes(serialization.Encoding.PEM))
with open(f"{directory}/tsa.serial", "w") as out:
    out.write("01\n")
config = f"{directory}/tsa.cnf"
with open(config, "w") as out:
    out.write(f"""[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {directory}/tsa.serial
signer_cert = {directory}/tsa.pem
certs = {directory}/tsa.pem
signer_key = {directory}/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
""")


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory(dir=directory) as work:
            with open(f"{work}/query.tsq", "wb") as out:
                out.write(query)
            answered = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile",
                                       f"{work}/query.tsq", "-out", f"{work}/reply.tsr"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            if answered.returncode != 0:
                self.send_error(500, answered.stderr.decode(errors="replace").strip()[:200])
                return
            with open(f"{work}/reply.tsr", "rb") as reply:
                body = reply.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
server.timeout = 0.5
with open(f"{directory}/url.new", "w") as out:
    out.write(f"http://127.0.0.1:{server.server_address[1]}/\n")
os.rename(f"{directory}/url.new", f"{directory}/url")
while time.monotonic() < deadline:
    server.handle_request()
server.server_close()
