// The browser extension in a real browser: headless Chromium loads it
// unpacked, a page on 127.0.0.1 shows pictures, and the extension's menu
// command is run on each; its native-messaging host (registered with the
// program) hands them to the program, which the session bus starts.
//
// A real right-click cannot be made in headless Chromium, so the command's
// listener is called in the extension's service worker over the DevTools
// protocol, with the details a click passes. The click would also grant the
// extension the page (activeTab); the copy loaded here asks for 127.0.0.1
// in its manifest instead.
//
// Usage: node extension_test.mjs EXTENSION_DIR PROGRAM_FOLDER WORK_DIR
import { spawn } from "node:child_process";
import { createServer } from "node:http";
import { cpSync, existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { deflateSync } from "node:zlib";

const [extensionSource, programFolder, work] = process.argv.slice(2);
const EXTENSION_ID = "plendcahbkbojbdolfbfipmomgocpojp";
const log = join(programFolder, "peer.log");
const failures = [];
let passed = 0;

function check(condition, what) {
  if (condition) {
    passed += 1;
  } else {
    failures.push(what);
    console.error(`FAIL: ${what}`);
  }
}

// --- pictures --------------------------------------------------------------

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k += 1) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}
function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, "latin1");
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}
// A 32 × 32 RGB picture of one colour, big enough to become a logo.
function png(red, green, blue) {
  const size = 32;
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header[8] = 8; // bit depth
  header[9] = 2; // RGB
  const rows = [];
  for (let y = 0; y < size; y += 1) {
    rows.push(Buffer.from([0]));
    for (let x = 0; x < size; x += 1) rows.push(Buffer.from([red, green, blue]));
  }
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk("IHDR", header),
    chunk("IDAT", deflateSync(Buffer.concat(rows))),
    chunk("IEND", Buffer.alloc(0)),
  ]);
}
const cat = png(200, 120, 40);
const dog = png(40, 120, 200);
const owl = png(90, 90, 90);
const inline = png(10, 200, 10);
const made = png(250, 0, 250);

// --- the web server ----------------------------------------------------------

const requests = [];
const server = createServer((request, response) => {
  requests.push(`${request.method} ${request.url} ${request.headers.cookie ?? "-"}`);
  const send = (status, type, body, headers = {}) => {
    response.writeHead(status, { "Content-Type": type, "Content-Length": body.length, ...headers });
    response.end(request.method === "HEAD" ? undefined : body);
  };
  if (request.url === "/page.html") {
    const page = `<!doctype html><title>pictures</title>
<img id="plain" src="/pics/cat.png">
<a id="link" href="/pics/dog.JPG">a dog</a>
<img id="private" src="/private/owl.png">
<img id="inline" src="data:image/png;base64,${inline.toString("base64")}">
<img id="made">
<script>
  const bytes = Uint8Array.from(atob("${made.toString("base64")}"), (c) => c.charCodeAt(0));
  document.getElementById("made").src = URL.createObjectURL(new Blob([bytes], { type: "image/png" }));
</script>`;
    send(200, "text/html", Buffer.from(page), { "Set-Cookie": "session=open; Path=/" });
  } else if (request.url === "/pics/cat.png") {
    send(200, "image/png", cat);
  } else if (request.url === "/pics/dog.JPG") {
    send(200, "image/jpeg", dog);
  } else if (request.url === "/private/owl.png") {
    if ((request.headers.cookie ?? "").includes("session=open")) send(200, "application/octet-stream", owl);
    else send(401, "text/plain", Buffer.from("log in first"));
  } else {
    send(404, "text/plain", Buffer.from("no such page"));
  }
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const base = `http://127.0.0.1:${server.address().port}`;

// --- the extension, as a click would let it see the page ---------------------

const extension = join(work, "extension");
cpSync(extensionSource, extension, { recursive: true });
const manifest = JSON.parse(readFileSync(join(extension, "manifest.json"), "utf8"));
manifest.host_permissions = ["http://127.0.0.1/*"];
writeFileSync(join(extension, "manifest.json"), JSON.stringify(manifest, null, 2));

// --- the browser and the DevTools protocol over its pipe ---------------------

// The user's own profile folder, where Chromium also looks for the host's
// manifest that registration wrote.
const profile = join(process.env.XDG_CONFIG_HOME, "chromium");
mkdirSync(profile, { recursive: true });
const chromium = spawn(
  "/usr/bin/chromium",
  [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
    "--disable-background-networking", "--disable-component-update", "--remote-debugging-pipe",
    `--user-data-dir=${profile}`, `--load-extension=${extension}`,
    `--disable-extensions-except=${extension}`, "about:blank",
  ],
  { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] },
);
let browserErrors = "";
chromium.stderr.on("data", (data) => { browserErrors += data; });
const toBrowser = chromium.stdio[3];
const fromBrowser = chromium.stdio[4];
let buffered = "";
let nextId = 0;
const pending = new Map();
const listeners = [];
fromBrowser.on("data", (data) => {
  buffered += data.toString();
  for (let end; (end = buffered.indexOf("\0")) >= 0;) {
    const message = JSON.parse(buffered.slice(0, end));
    buffered = buffered.slice(end + 1);
    if (message.id !== undefined && pending.has(message.id)) {
      pending.get(message.id)(message);
      pending.delete(message.id);
    } else {
      for (const listener of listeners) listener(message);
    }
  }
});
function send(method, params = {}, sessionId = undefined) {
  return new Promise((resolve, reject) => {
    const id = (nextId += 1);
    pending.set(id, (message) => (message.error ? reject(new Error(`${method}: ${message.error.message}`)) : resolve(message.result)));
    toBrowser.write(`${JSON.stringify({ id, method, params, sessionId })}\0`);
  });
}
function waitFor(predicate, what, ms = 20000) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`timed out waiting for ${what}`)), ms);
    const listener = (message) => {
      if (!predicate(message)) return;
      clearTimeout(timer);
      listeners.splice(listeners.indexOf(listener), 1);
      resolve(message);
    };
    listeners.push(listener);
  });
}
async function evaluate(sessionId, expression) {
  const result = await send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true }, sessionId);
  if (result.exceptionDetails) throw new Error(result.exceptionDetails.exception?.description ?? result.exceptionDetails.text);
  return result.result.value;
}
async function until(condition, what, ms = 20000) {
  const deadline = Date.now() + ms;
  while (Date.now() < deadline) {
    if (condition()) return true;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`timed out waiting for ${what}`);
}
const logLines = () => (existsSync(log) ? readFileSync(log, "utf8").split("\n").filter(Boolean) : []);
const taken = () => logLines().filter((line) => line.startsWith("taken ")).map((line) => line.slice(6));

let exitCode = 1;
const watchdog = setTimeout(() => {
  console.error("extension test: gave up after 150 s");
  chromium.kill("SIGKILL");
  process.exit(1);
}, 150000);

try {
  const workerCreated = waitFor(
    (m) => m.method === "Target.targetCreated" && m.params.targetInfo.type === "service_worker" &&
      m.params.targetInfo.url.startsWith(`chrome-extension://${EXTENSION_ID}/`),
    "the extension's service worker");
  await send("Target.setDiscoverTargets", { discover: true });
  const existing = (await send("Target.getTargets")).targetInfos.find(
    (t) => t.type === "service_worker" && t.url.startsWith(`chrome-extension://${EXTENSION_ID}/`));
  const workerInfo = existing ?? (await workerCreated).params.targetInfo;
  check(workerInfo.url === `chrome-extension://${EXTENSION_ID}/background.js`,
    `the fixed key gives the extension its id (${workerInfo.url})`);
  const worker = (await send("Target.attachToTarget", { targetId: workerInfo.targetId, flatten: true })).sessionId;

  const { targetId: pageTarget } = await send("Target.createTarget", { url: "about:blank" });
  const page = (await send("Target.attachToTarget", { targetId: pageTarget, flatten: true })).sessionId;
  await send("Page.enable", {}, page);
  const loaded = waitFor((m) => m.method === "Page.loadEventFired" && m.sessionId === page, "the page");
  await send("Page.navigate", { url: `${base}/page.html` }, page);
  await loaded;
  const blobUrl = await evaluate(page, "document.getElementById('made').src");
  check(blobUrl.startsWith(`blob:${base}/`), `the page made a blob: address (${blobUrl})`);

  // The menu items are there (updating a missing one fails).
  const menus = await evaluate(worker, `Promise.all(["quillet-send-picture", "quillet-send-link"].map(
      (id) => chrome.contextMenus.update(id, {}).then(() => id)))`);
  check(menus.length === 2, "both menu items exist");

  const click = (item, field, address) => evaluate(worker, `(async () => {
      const [tab] = await chrome.tabs.query({ url: "${base}/page.html" });
      return sendPicture({ menuItemId: "${item}", ${field}: ${JSON.stringify(address)}, frameId: 0,
                           pageUrl: "${base}/page.html" }, tab);
    })()`);
  const storedFile = (url) => decodeURIComponent(new URL(url).pathname);

  // A plain picture goes over as its address; the bus starts the program.
  const seenBefore = requests.length;
  let reply = await click("quillet-send-picture", "srcUrl", `${base}/pics/cat.png`);
  check(reply?.ok === true, `a plain picture is handed over (${JSON.stringify(reply)})`);
  await until(() => taken().includes(`${base}/pics/cat.png`), "the plain picture's address");
  check(logLines().some((line) => /^start \d+ automation=1$/.test(line)), "the bus started the program");
  check(!requests.slice(seenBefore).some((r) => r.startsWith("GET /pics/cat.png")),
    "the extension did not download it itself");

  // A link to a picture: the link's address.
  reply = await click("quillet-send-link", "linkUrl", `${base}/pics/dog.JPG`);
  check(reply?.ok === true, "a link to a picture is handed over");
  await until(() => taken().includes(`${base}/pics/dog.JPG`), "the link's address");

  // data:, blob: and a picture behind the page's login go over as bytes.
  const cases = [
    ["data: picture", `data:image/png;base64,${inline.toString("base64")}`, inline, /\/Temp\/picture(-\d+)?\.png$/],
    ["blob: picture", blobUrl, made, /\/Temp\/picture(-\d+)?\.png$/],
    ["picture behind the login", `${base}/private/owl.png`, owl, /\/Temp\/owl\.png$/],
  ];
  for (const [what, address, bytes, name] of cases) {
    const before = taken().length;
    reply = await click("quillet-send-picture", "srcUrl", address);
    check(reply?.ok === true, `the ${what} is handed over (${JSON.stringify(reply)})`);
    await until(() => taken().length > before, `the ${what}`);
    const url = taken()[before];
    check(url.startsWith("file:///") && name.test(url), `the ${what} is a file in Temp (${url})`);
    check(Buffer.compare(readFileSync(storedFile(url)), bytes) === 0, `the ${what} arrives whole`);
  }
  check(requests.includes(`GET /private/owl.png session=open`), "the login picture was read with the page's cookie");

  // A failure is told in the page.
  const dialog = waitFor((m) => m.method === "Page.javascriptDialogOpening" && m.sessionId === page, "the message");
  evaluate(worker, `(async () => {
      const [tab] = await chrome.tabs.query({ url: "${base}/page.html" });
      await onMenuClicked({ menuItemId: "quillet-send-picture", srcUrl: "ftp://127.0.0.1/x.png", frameId: 0 }, tab);
    })()`).catch(() => {});
  const shown = await dialog;
  check(shown.params.message === "Quillet: Only http, https and data addresses can be handed over",
    `the page says why (${shown.params.message})`);
  await send("Page.handleJavaScriptDialog", { accept: true }, page);

  // Every address was taken exactly once.
  const all = taken();
  check(all.length === 5 && new Set(all).size === 5, `five pictures, each taken once (${all.join(", ")})`);
  exitCode = failures.length === 0 ? 0 : 1;
} catch (error) {
  console.error(`extension test: ${error.stack ?? error}`);
  console.error(browserErrors.split("\n").slice(-20).join("\n"));
} finally {
  clearTimeout(watchdog);
  // The profile is removed after this: let the browser finish writing it.
  const ended = new Promise((resolve) => chromium.once("exit", resolve));
  chromium.kill();
  await Promise.race([ended, new Promise((resolve) => setTimeout(resolve, 10000))]);
  server.close();
}
console.log(`extension: ${passed} passed, ${failures.length} failed`);
process.exit(exitCode);
