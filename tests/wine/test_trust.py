#!/usr/bin/env python3
"""updater.exe's trust checks end to end under Wine: HTTPS from nginx with a test CA, signed
manifests, package digests, a server that sends more than it announced, and a question box
that cannot be shown.

  test_trust.py --bin <build>/bin --work <scratch folder> [--seven-zip <7z.exe>] [unittest args]

Needs root: the test CA goes into the Linux trust store (/usr/local/share/ca-certificates,
update-ca-certificates) before this suite's own Wine prefix is made, and leaves it at the end.
The CA and the prefix are kept in the work folder for the next run. In every refused case the
application folder must stay byte for byte as it was and no program may start: the archiver
is a stand-in that records its calls there, and the run target writes a file there.
"""

import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import time
import unittest

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(HERE))
import desktop  # noqa: E402
import rig  # noqa: E402
import test_updater as e2e  # noqa: E402
from test_updater import FAILED, QUESTION, manifest  # noqa: E402

CA_IN_STORE = pathlib.Path("/usr/local/share/ca-certificates/updater-trust-test.crt")
SIGN = ROOT / "scripts" / "sign-update.sh"
ENV = e2e.ENV


def openssl(*args, cwd):
    subprocess.run(["openssl", *map(str, args)], cwd=cwd, check=True, capture_output=True)


def make_certificates(folder):
    """ca.crt, localhost.crt signed by it, and untrusted.crt that signs itself; RSA keys."""
    if (folder / "untrusted.crt").is_file():
        return
    folder.mkdir(parents=True, exist_ok=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout",
            "ca.key", "-out", "ca.crt", "-subj", "/CN=updater trust test CA", "-addext",
            "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
            cwd=folder)
    (folder / "leaf.ext").write_text("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n"
                                     "extendedKeyUsage=serverAuth\n")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "localhost.key", "-out",
            "localhost.csr", "-subj", "/CN=localhost", cwd=folder)
    openssl("x509", "-req", "-in", "localhost.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "3650", "-extfile", "leaf.ext", "-out", "localhost.crt",
            cwd=folder)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout",
            "untrusted.key", "-out", "untrusted.crt", "-subj", "/CN=localhost", "-addext",
            "subjectAltName=DNS:localhost", cwd=folder)


class TlsNginx(rig.Nginx):
    """nginx on https for "localhost". /to-http/<path>?port=P redirects to plain http on
    127.0.0.1:P; /again/<path> redirects to /<path> on the same server."""

    def __init__(self, root, workdir, certificate, key):
        super().__init__(root, workdir)
        self.certificate, self.key = certificate, key

    def url(self, relpath):
        return f"https://localhost:{self.port}/{str(relpath).lstrip('/')}"

    def _config(self, port):
        return super()._config(port).replace(f"listen 127.0.0.1:{port};", f"""listen 127.0.0.1:{port} ssl;
        ssl_certificate {self.certificate};
        ssl_certificate_key {self.key};
        location ~ ^/to-http/(?<rest>.*)$ {{ return 302 http://127.0.0.1:$arg_port/$rest; }}
        location ~ ^/again/(?<rest>.*)$ {{ return 302 /$rest; }}""")


def setUpModule():
    if os.geteuid() != 0:
        raise unittest.SkipTest("the test CA must go into the system trust store: run as root")
    args = e2e.ARGS
    work = args.work.resolve()
    certificates = work / "certificates"
    make_certificates(certificates)
    # Wine takes the system's trusted roots into a prefix as it makes it: a new CA needs a
    # new prefix.
    prefix = rig.WinePrefix(work / "prefix")
    ca = (certificates / "ca.crt").read_bytes()
    mark = work / "prefix-ca.crt"
    if not mark.is_file() or mark.read_bytes() != ca:
        shutil.rmtree(prefix.path, ignore_errors=True)
    shutil.copy(certificates / "ca.crt", CA_IN_STORE)
    subprocess.run(["update-ca-certificates"], check=True, capture_output=True)
    ENV["ca_added"] = True
    prefix.ensure()
    mark.write_bytes(ca)

    for stale in ("www", "apps", "staging", "keys"):
        shutil.rmtree(work / stale, ignore_errors=True)
        (work / stale).mkdir(parents=True)
    for name in ("good", "other"):
        subprocess.run([SIGN, "keygen", work / "keys" / name], check=True, capture_output=True)
    display = desktop.VirtualDisplay()
    ENV.update(work=work, prefix=prefix, display=display, last_second=0)
    desktop.keep_wine_on_display(prefix, display)
    for name, server in (
            ("nginx", TlsNginx(work / "www", work / "nginx", certificates / "localhost.crt",
                               certificates / "localhost.key")),
            ("untrusted", TlsNginx(work / "www", work / "nginx-untrusted",
                                   certificates / "untrusted.crt", certificates / "untrusted.key")),
            ("fault", rig.FaultServer())):
        server.__enter__()
        ENV[name] = server


def tearDownModule():
    e2e.tearDownModule(("fault", "untrusted", "nginx"))
    if ENV.get("ca_added"):
        CA_IN_STORE.unlink(missing_ok=True)
        subprocess.run(["update-ca-certificates", "--fresh"], check=True, capture_output=True)


def snapshot(folder):
    """Every file of the folder and its bytes, but the test host's own log."""
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*"))
            if p.is_file() and p.name != "host.log"}


class TrustCase(e2e.UpdaterCase):
    def setUp(self):
        super().setUp()
        self.use_slow_archiver()

    def use_key(self, name="good"):
        shutil.copy(ENV["work"] / "keys" / name / "update-key.pem", self.app / "update-key.pem")

    def sign(self, rel, key="good"):
        subprocess.run([SIGN, "sign", self.web / rel,
                        ENV["work"] / "keys" / key / "update-private-key.pem"],
                       check=True, capture_output=True)
        return self.web / (rel + ".sig")

    def package(self, marker):
        """A package on the fault server whose request the test can look for, and its digest."""
        return (ENV["fault"].url(f"ok?size=64&case={marker}"),
                hashlib.sha256(rig.pattern(64)).hexdigest())

    def fetched(self, marker):
        return any(f"case={marker}" in r.target for r in ENV["fault"].requests)

    def assertRefused(self, run, boxes=(FAILED,)):
        """Runs the host; the run shows these boxes and leaves the application folder alone."""
        before = snapshot(self.app)
        result = run()
        self.assertBoxes(result, list(boxes))
        self.assertEqual(result.notices, [])
        self.assertEqual(snapshot(self.app), before)
        return result


def with_digest(text, name, sha256):
    return text.replace(f'<item name="{name}"', f'<item sha256="{sha256}" name="{name}"')


class HttpsTest(TrustCase):
    def test_signed_update_over_https_follows_an_https_redirect(self):
        self.use_real_archiver()
        self.use_key()
        package = self.serve_archive("app.7z", self.new_app_files())
        digest = hashlib.sha256((self.web / "app.7z").read_bytes()).hexdigest()
        redirected = package.replace(f":{ENV['nginx'].port}/", f":{ENV['nginx'].port}/again/")
        url = self.serve("update.xml", with_digest(
            manifest("2.0", package=("app.7z", redirected)), "app.7z", digest.upper()))
        self.sign("update.xml")
        result = self.run_host("1.0", url)

        self.assertBoxes(result, [QUESTION])
        self.assertEqual(len(result.notices), 1)
        self.assertIn("data=version 2.0", self.wait_for(self.app / "App.exe.ran"))
        self.assertEqual((result.work / "update.xml.sig").read_bytes(),
                         (self.web / "update.xml.sig").read_bytes())

    def test_untrusted_certificate_and_redirect_to_http_are_refused(self):
        package, _ = self.package("https")
        self.serve("update.xml", manifest("2.0", package=("app.7z", package)))
        cases = {
            "untrusted": ENV["untrusted"].url(f"{self.name}/update.xml"),
            "to http": ENV["nginx"].url(f"to-http/{self.name}/update.xml?port={ENV['fault'].port}"),
        }
        for what, url in cases.items():
            with self.subTest(what):
                self.assertRefused(lambda: self.run_host("1.0", url))
        self.assertFalse(any(self.name in r.target for r in ENV["fault"].requests))
        self.assertFalse(self.fetched("https"))


class SignedManifestTest(TrustCase):
    def test_bad_signatures_stop_the_run_before_any_package(self):
        package, digest = self.package("signed")
        text = with_digest(manifest("2.0", package=("app.7z", package)), "app.7z", digest)

        def flip(rel, at):
            data = bytearray((self.web / rel).read_bytes())
            data[at] ^= 0x01
            (self.web / rel).write_bytes(bytes(data))

        # What each case does to update.xml and its signature after signing.
        cases = {
            "missing signature": lambda: (self.web / "update.xml.sig").unlink(),
            "flipped byte in manifest": lambda: flip("update.xml", text.index("App.exe")),
            "flipped byte in signature": lambda: flip("update.xml.sig", -1),
            "wrong key": lambda: self.sign("update.xml", key="other"),
        }
        self.use_key()
        for what, spoil in cases.items():
            with self.subTest(what):
                url = self.serve("update.xml", text)
                self.sign("update.xml")
                spoil()
                self.assertRefused(lambda: self.run_host("1.0", url))
        self.assertFalse(self.fetched("signed"))


class PackageDigestTest(TrustCase):
    def test_wrong_digest_deletes_the_package_and_malformed_fetches_none(self):
        package, digest = self.package("digest")
        for what, value, boxes in (("wrong", digest[::-1], (QUESTION, FAILED)),
                                   ("malformed", digest[:-1] + "g", (FAILED,))):
            with self.subTest(what):
                url = self.serve(f"{what}.xml", with_digest(
                    manifest("2.0", package=("app.7z", f"{package}&{what}")), "app.7z", value))
                result = self.assertRefused(lambda: self.run_host("1.0", url), boxes)
                self.assertFalse((result.work / "app.7z").exists())
                self.assertEqual(self.fetched(f"digest&{what}"), what == "wrong")

    def test_server_sending_past_its_length_stores_only_the_announced_bytes(self):
        package = ENV["fault"].url("long?size=5000&send=9000")
        digest = hashlib.sha256(rig.pattern(5000)).hexdigest()
        url = self.serve("update.xml", with_digest(manifest("2.0", package=("app.7z", package)),
                                                   "app.7z", digest))
        result = self.run_host("1.0", url)
        # The digest is that of the announced 5000 bytes: one byte more and it would not match.
        self.assertBoxes(result, [QUESTION])
        self.assertIn("received 5000,", (result.work / "update.log").read_text(encoding="utf-8"))
        self.assertIn("unpacked by the slow archiver", self.wait_for(self.app / "App.exe.ran"))


class NoDisplayTest(TrustCase):
    def test_question_box_that_cannot_be_shown_downloads_nothing(self):
        package, _ = self.package("nodisplay")
        url = self.serve("update.xml", manifest("2.0", package=("app.7z", package)))
        before = snapshot(self.app)
        # A session without a display: every box fails, owned or not.
        ENV["prefix"].wineserver_kill()
        try:
            self._settle()
            first = self._next_second()
            result = ENV["prefix"].run(self.app / "updater.exe", [f"1.0#0#{url}"], timeout=60)
            work = self._work_folder(first, int(time.time()))
        finally:
            desktop.keep_wine_on_display(ENV["prefix"], ENV["display"])
        self.assertEqual(result.returncode, 0)
        self.assertTrue((work / "update.xml").is_file())
        self.assertFalse(self.fetched("nodisplay"))
        self.assertEqual(snapshot(self.app), before)


if __name__ == "__main__":
    e2e.ARGS, argv = e2e.parse_args()
    unittest.main(argv=argv, verbosity=2)
