#!/usr/bin/python3
"""Makes a throw-away self-signed certificate whose subject CN is any Unicode text, including the code
units openssl's -subj cannot carry (a NUL). Used for signers that only look like the publisher.
   lookalike-certificate.py DIR NAME CN   (CN with Python escapes, e.g. 'Quillon AB\\x00more')
Writes DIR/NAME.key, DIR/NAME.pem and DIR/NAME.chain, as throwaway_certificate does."""
import datetime
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID

directory, name, escaped = sys.argv[1:4]
cn = escaped.encode("ascii").decode("unicode_escape")
key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, cn)])  # a UTF8String
now = datetime.datetime.now(datetime.timezone.utc)
certificate = (
    x509.CertificateBuilder()
    .subject_name(subject)
    .issuer_name(subject)
    .public_key(key.public_key())
    .serial_number(x509.random_serial_number())
    .not_valid_before(now - datetime.timedelta(days=1))
    .not_valid_after(now + datetime.timedelta(days=30))
    .sign(key, hashes.SHA256())
)
pem = certificate.public_bytes(serialization.Encoding.PEM)
with open(f"{directory}/{name}.key", "wb") as out:
    out.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.TraditionalOpenSSL,
                                serialization.NoEncryption()))
for suffix in ("pem", "chain"):
    with open(f"{directory}/{name}.{suffix}", "wb") as out:
        out.write(pem)
