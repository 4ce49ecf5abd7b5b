// Drives the page of `ecf serve` in headless Chromium through the DevTools
// protocol over a pipe (no network port, nothing to install):
//   node serve_page_check.js CHROMIUM URL SALE.json SCREENSHOT.png PROFILE_DIR
// Opens the page, waits until it follows the tape, sells through POST /calls
// while the page is open, waits until the page shows every tape line, presses
// the "Paper out" button, waits until the page shows the fault, takes a
// screenshot, and prints what the page showed as JSON on stdout. Exit status
// 0 on success; anything else is a failure, the reason on stderr.
"use strict";
const { spawn } = require("child_process");
const fs = require("fs");

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
  finished = true;
  await send("Browser.close").catch(() => {});
  browser.kill();
  process.stdout.write(JSON.stringify(result) + "\n", () => process.exit(0));
}

main().catch((e) => fail(e.stack || String(e)));
