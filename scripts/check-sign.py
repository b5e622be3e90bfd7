#!/usr/bin/python3
"""Checks scripts/sign on copies of a built program, and of the medium's Windows Installer package when one is
given, with throw-away self-signed certificates issued to the publisher the program names. Prints "check ok
NAME" or "check FAILED NAME: reason" per check; exits 1 when any failed.
    scripts/check-sign.py build/win/Setup.exe [build/win/medium/Tessaro-Holter.msi]"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
from pathlib import Path

import pefile

sys.path.insert(0, str(Path(__file__).resolve().parent))
from publisher import company_name  # noqa: E402

SIGN = Path(__file__).resolve().parent / "sign"
PASSWORD = 'a "quoted" $pass word'
failed = 0


def report(name, problems):
    global failed
    failed += bool(problems)
    print(f"check FAILED {name}: {'; '.join(problems)}" if problems else f"check ok {name}")


def run(*args, env=None):
    done = subprocess.run([str(a) for a in args], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, errors="replace", timeout=300)
    return done.returncode, done.stdout + done.stderr


def certificate(folder, tag, name):
    """A self-signed code-signing certificate for name, as (PEM, key)."""
    pem, key = folder / f"{tag}.pem", folder / f"{tag}.key"
    subject = re.sub(r"([/+\\])", r"\\\1", name)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-utf8", "-days", "2", "-keyout", key,
        "-out", pem, "-subj", f"/CN={subject}/O={subject}", "-addext", "extendedKeyUsage=codeSigning")
    return pem, key


def pfx_file(pem, key, *options):
    """The certificate and its key in a PFX file with PASSWORD."""
    pfx = pem.with_name(pem.stem + "".join(options) + ".pfx")
    run("openssl", "pkcs12", "-export", *options, "-inkey", key, "-in", pem, "-out", pfx,
        "-passout", "env:PFX_PASSWORD", env={**os.environ, "PFX_PASSWORD": PASSWORD})
    return pfx


def sign(pfx, *files, password=PASSWORD, **extra):
    env = {k: v for k, v in os.environ.items() if not k.startswith("TESSARO_SIGN_")}
    env.update(TESSARO_SIGN_PFX=str(pfx), TESSARO_SIGN_PASSWORD=password, **extra)
    status, output = run(SIGN, *files, env=env)
    return status, output + ("\nthe password was printed" if PASSWORD in output else "")


def verify(exe, ca):
    status, output = run("osslsigncode", "verify", "-CAfile", ca, "-in", exe)
    # A program's digest is its "message digest", a package's its "DigitalSignature".
    digest = {k: re.search(rf"{k} (?:message digest|DigitalSignature)\s*:\s*([0-9A-F]+)", output)
              for k in ("Current", "Calculated")}
    return status, output, [m and m.group(1) for m in digest.values()]


def check_package(folder, package, pem, pfx, other_pfx):
    """The package signed like the programs: its signature verifies and names the publisher its summary names,
    a change to its tables fails verification, and another publisher's certificate is refused."""
    problems = []
    signed, refused = folder / "signed.msi", folder / "refused.msi"
    shutil.copy2(package, signed)
    shutil.copy2(package, refused)
    status, output = sign(pfx, signed)
    if status:
        problems.append(f"signing: exit {status}: {output.strip()[-300:]}")
    status, output, (current, calculated) = verify(signed, pem)
    if status or "Signature verification: ok" not in output or not current or current != calculated:
        problems.append(f"verification: {output[-300:]}")
    if company_name(signed) != company_name(package):
        problems.append(f"the signed package names {company_name(signed)!r}")
    run("msibuild", signed, "-q", "UPDATE `Property` SET `Value` = '2' WHERE `Property` = 'ALLUSERS'")
    status, output, (current, calculated) = verify(signed, pem)
    if status == 0 or "MISMATCH" not in output:
        problems.append(f"a changed table still verifies: {output[-300:]}")
    before = refused.read_bytes()
    status, output = sign(other_pfx, refused)
    if status == 0 or "names its publisher" not in output or refused.read_bytes() != before:
        problems.append(f"another publisher's certificate: exit {status}: {output.strip()[-200:]}")
    report("the package signed, verified, a change to it detected, another publisher refused", problems)


def main():
    exe = Path(sys.argv[1])
    publisher = company_name(exe)
    if not publisher:
        report("publisher in the version information", ["no CompanyName"])
        return 1
    with tempfile.TemporaryDirectory(prefix="tessaro-sign-check.") as scratch:
        folder = Path(scratch)
        pem, key = certificate(folder, "publisher", publisher)
        pfx = pfx_file(pem, key)
        copies = [folder / f"{n}.exe" for n in ("signed", "windows-pfx", "tampered", "refused")]
        for copy in copies:
            shutil.copy2(exe, copy)

        # One PFX as OpenSSL 3 writes it, one with the older ciphers of a PFX exported by Windows.
        problems = []
        for copy, key_file in ((copies[0], pfx), (copies[1], pfx_file(pem, key, "-legacy"))):
            status, output = sign(key_file, copy)
            if status or "without a timestamp" not in output or "password was printed" in output:
                problems.append(f"{copy.name}: exit {status}: {output.strip()[-300:]}")
        if copies[0].stat().st_mtime_ns != exe.stat().st_mtime_ns or list(folder.glob(".signing*")):
            problems.append("the signed copy's time changed or a temporary folder was left")
        report("sign a copy with an OpenSSL PFX and a Windows one", problems)

        status, output, (current, calculated) = verify(copies[0], pem)
        intact = status == 0 and "Signature verification: ok" in output and current and current == calculated
        report("the signed copy verifies against the test certificate", [] if intact else [output[-400:]])

        run("osslsigncode", "extract-signature", "-pem", "-in", copies[0], "-out", folder / "signature.pem")
        _, certs = run("openssl", "pkcs7", "-in", folder / "signature.pem", "-print_certs")
        (folder / "signer.pem").write_text(certs)
        _, subject = run("openssl", "x509", "-in", folder / "signer.pem", "-noout", "-subject",
                         "-nameopt", "sep_multiline,utf8,-esc_msb")
        fields = dict(re.findall(r"^\s*(CN|O)=(.*)$", subject, re.M))
        wrong = [f"{k}={fields.get(k)!r}" for k in ("CN", "O") if fields.get(k) != company_name(copies[0])]
        if certs.count("BEGIN CERTIFICATE") != 1:
            wrong.append("the signature carries more than the signer's certificate")
        report("the signer is the version information's publisher", wrong)

        # A byte in the middle of the code: part of the signed image, far from the signature's own table.
        sign(pfx, copies[2])
        image = bytearray(copies[2].read_bytes())
        code = next(s for s in pefile.PE(data=bytes(image), fast_load=True).sections if s.Characteristics & 0x20)
        image[code.PointerToRawData + code.SizeOfRawData // 2] ^= 0x01
        copies[2].write_bytes(image)
        status, output, (current, calculated) = verify(copies[2], pem)
        broken = status != 0 and current and calculated and current != calculated and "MISMATCH" in output
        report("a changed byte fails verification on the digest", [] if broken else [output[-400:]])

        # Each refusal leaves the files as they were and says why.
        other_pfx = pfx_file(*certificate(folder, "other", "ООО «Другая фирма»"))
        closed = socket.socket()
        closed.bind(("127.0.0.1", 0))
        tsa = f"http://127.0.0.1:{closed.getsockname()[1]}/"
        closed.close()
        before = copies[3].read_bytes()
        cases = [("PFX absent", "does not exist", sign(folder / "none.pfx", copies[3])),
                 ("wrong password", "wrong password", sign(pfx, copies[3], password="wrong")),
                 ("file absent", "absent.exe does not exist", sign(pfx, copies[3], folder / "absent.exe")),
                 ("another publisher", "names its publisher", sign(other_pfx, copies[3])),
                 ("timestamp server down", "the file is as it was",
                  sign(pfx, copies[3], TESSARO_SIGN_TIMESTAMP_URL=tsa))]
        problems = [f"{name}: exit {status}: {output.strip()[-200:]}" for name, expected, (status, output) in cases
                    if status == 0 or expected not in output or "password was printed" in output]
        if copies[3].read_bytes() != before or list(folder.glob(".signing*")):
            problems.append("a refused file was changed or a temporary folder was left")
        report("refusals leave the files as they were", problems)
        if len(sys.argv) > 2:
            check_package(folder, Path(sys.argv[2]), pem, pfx, other_pfx)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
