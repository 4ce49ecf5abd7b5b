// Drives the page of `ecf serve` in headless Chromium through the DevTools
// protocol over a pipe (no network port, nothing to install):
//   node serve_page_check.js CHROMIUM URL SALE.json SCREENSHOT.png PROFILE_DIR
// Opens the page, waits until it follows the tape, sells through POST /calls
// while the page is open, waits until the page shows every tape line, presses
// the "Paper out" button, waits until the page shows the fault, takes a
// screenshot. Then opens a page served from another local origin (a port of
// its own) that tries to drive the service (a plain-text post that needs no
// preflight, a JSON post, a read), and checks that nothing changed. Prints
// what the pages showed as JSON on stdout. Exit status 0 on success; anything
// else is a failure, the reason on stderr.
"use strict";
const { spawn } = require("child_process");
const fs = require("fs");
const http = require("http");

const [chromium, url, saleFile, screenshot, profile] = process.argv.slice(2);
const base = url.endsWith("/") ? url : url + "/";

const browser = spawn(chromium, [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--disable-dev-shm-usage",
  "--user-data-dir=" + profile, "--remote-debugging-pipe", "--window-size=1280,900",
  "about:blank",
], { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
let browserErrors = "";
browser.stderr.on("data", (d) => { browserErrors += d; });

function fail(message) {
  process.stderr.write("page check: " + message + "\n");
  if (browserErrors) process.stderr.write("chromium said:\n" + browserErrors.slice(-2000) + "\n");
  browser.kill("SIGKILL");
  process.exit(1);
}
setTimeout(() => fail("gave up after 90 s"), 90000).unref();
browser.on("exit", (code) => { if (!finished) fail("chromium ended early (" + code + ")"); });
browser.on("error", (e) => fail("cannot start chromium: " + e.message));
let finished = false;

// Messages are JSON texts ended by a NUL byte, both ways.
const pending = new Map();
let nextId = 1;
let received = Buffer.alloc(0);
browser.stdio[4].on("data", (chunk) => {
  received = Buffer.concat([received, chunk]);
  let end;
  while ((end = received.indexOf(0)) >= 0) {
    const message = JSON.parse(received.subarray(0, end).toString("utf8"));
    received = received.subarray(end + 1);
    const waiter = message.id && pending.get(message.id);
    if (!waiter) continue;
    pending.delete(message.id);
    if (message.error) waiter.reject(new Error(JSON.stringify(message.error)));
    else waiter.resolve(message.result);
  }
});
function send(method, params = {}, sessionId = undefined) {
  const id = nextId++;
  browser.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + "\0");
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const { targetId } = await send("Target.createTarget", { url: "about:blank" });
  const { sessionId } = await send("Target.attachToTarget", { targetId, flatten: true });
  const evaluate = async (expression) => {
    const r = await send("Runtime.evaluate",
                         { expression, returnByValue: true, awaitPromise: true }, sessionId);
    if (r.exceptionDetails) throw new Error(expression + ": " + JSON.stringify(r.exceptionDetails));
    return r.result.value;
  };
  const waitFor = async (what, expression, ms = 30000) => {
    for (const start = Date.now(); Date.now() - start < ms; await sleep(100)) {
      if (await evaluate(expression)) return;
    }
    fail("the page never showed " + what);
  };

  await send("Page.enable", {}, sessionId);
  await send("Page.navigate", { url: base }, sessionId);
  await waitFor("itself ready and following the tape",
                "document.body && document.body.dataset.ready === '1' && " +
                "document.getElementById('live').textContent === 'live'");

  // A sale made through the API while the page is open.
  const sold = await fetch(base + "calls", {
    method: "POST", headers: { "Content-Type": "application/json" },
    body: fs.readFileSync(saleFile, "utf8"),
  });
  if (sold.status !== 200) fail("the sale answered " + sold.status + ": " + await sold.text());
  const tape = await (await fetch(base + "tape")).text();
  const tapeLines = tape.split("\n").length - 1;
  // Lines as the page shows them: a cut between documents stands for the
  // empty line that ends a document on the tape.
  const pageLines = "Array.from(document.getElementById('tape').children).flatMap((c) => " +
                    "c.className === 'cut' ? [''] : Array.from(c.children, (l) => l.textContent))";
  await waitFor("every line of the tape", pageLines + ".length >= " + tapeLines);
  await waitFor("the sale in its counters", "document.getElementById('counter-ccf') && " +
                "document.getElementById('counter-ccf').textContent.includes('000001')");
  await waitFor("the debug log", "document.getElementById('log').textContent.length > 0");

  await evaluate("document.getElementById('fault-paper-end').click()");
  await waitFor("the paper-out fault", "document.getElementById('paper').textContent === 'end'");
  const state = await (await fetch(base + "state")).json();

  const shot = await send("Page.captureScreenshot", { format: "png" }, sessionId);
  fs.writeFileSync(screenshot, Buffer.from(shot.data, "base64"));
  const result = {
    tape: await evaluate(pageLines),
    log: await evaluate("document.getElementById('log').textContent"),
    paper_on_page: await evaluate("document.getElementById('paper').textContent"),
    paper_in_state: state.faults.paper,
  };

  // A page of another origin, as any site open in the till's browser would
  // be: it tries to clear the paper fault and to print a report.
  const tapeBefore = await (await fetch(base + "tape")).text();
  const attackPage = `<!doctype html><title>attack</title><script>
(async () => {
  const base = ${JSON.stringify(base)};
  const fault = JSON.stringify({ command: "paper normal" });
  const call = JSON.stringify({ call: "Relatorio_Generico",
                                args: ["001", "", "", "INVADIDO\\n", "", ""] });
  const out = {};
  const attempt = async (name, path, init) => {
    try { const r = await fetch(base + path, init); out[name] = r.type === "opaque" ? "sent" : r.status; }
    catch (e) { out[name] = "blocked"; }
  };
  await attempt("plain_fault", "faults", { method: "POST", mode: "no-cors",
                headers: { "Content-Type": "text/plain" }, body: fault });
  await attempt("plain_call", "calls", { method: "POST", mode: "no-cors",
                headers: { "Content-Type": "text/plain" }, body: call });
  await attempt("json_call", "calls", { method: "POST",
                headers: { "Content-Type": "application/json" }, body: call });
  await attempt("read_tape", "tape", {});
  window.attack = out;
  document.title = "done";
})();
</script>`;
  const attacker = http.createServer((req, res) => {
    res.writeHead(200, { "Content-Type": "text/html; charset=utf-8" });
    res.end(attackPage);
  });
  await new Promise((resolve) => attacker.listen(0, "127.0.0.1", resolve));
  await send("Page.navigate", { url: "http://127.0.0.1:" + attacker.address().port + "/" },
             sessionId);
  await waitFor("the other origin's page done", "document.title === 'done'");
  result.attack = await evaluate("window.attack");
  attacker.close();
  const after = await (await fetch(base + "state")).json();
  const tapeAfter = await (await fetch(base + "tape")).text();
  if (after.faults.paper !== "end") fail("a page of another origin cleared the paper fault");
  if (tapeAfter !== tapeBefore) fail("a page of another origin printed: " + tapeAfter.slice(tapeBefore.length));
  if (result.attack.json_call !== "blocked" || result.attack.read_tape !== "blocked") {
    fail("a page of another origin was answered: " + JSON.stringify(result.attack));
  }
  finished = true;
  await send("Browser.close").catch(() => {});
  browser.kill();
  process.stdout.write(JSON.stringify(result) + "\n", () => process.exit(0));
}

main().catch((e) => fail(e.stack || String(e)));
