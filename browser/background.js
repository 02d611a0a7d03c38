// Quillet's browser extension: "Send picture to Quillet" on a picture, or on
// a link to a picture, hands the picture to Quillet through its
// native-messaging host (quillet-native-host, registered by
// "quillet --regserver"). Quillet then comes to the front, downloads the
// picture and adds it to its logo directory.
//
// An http or https picture goes over as its address, and Quillet downloads
// it. A picture that such a download cannot fetch goes over as its bytes,
// read in the page: a data: or blob: address, or a picture that the server
// refuses without the page's login (401 or 403 to a request without the
// page's cookies).
"use strict";

const api = globalThis.browser ?? globalThis.chrome;

const NATIVE_HOST = "io.github.quillet.native_host";
const MENU_TITLE = "Send picture to Quillet";
const PICTURE_ITEM = "quillet-send-picture";
const LINK_ITEM = "quillet-send-link";
const PICTURE_EXTENSIONS = ["jpg", "jpeg", "png", "gif", "bmp"];
const PICTURE_TYPES = ["image/jpeg", "image/png", "image/gif", "image/bmp"];
// The host refuses messages over 8 MiB; the picture travels as base64 in one.
const LARGEST_PICTURE = Math.floor((8 * 1024 * 1024 - 4096) / 4) * 3;

// Links whose address ends in a picture's extension, before any query.
function pictureLinkPatterns() {
  const patterns = [];
  for (const extension of PICTURE_EXTENSIONS) {
    for (const spelling of [extension, extension.toUpperCase()]) {
      patterns.push(`*://*/*.${spelling}`, `*://*/*.${spelling}?*`);
    }
  }
  return patterns;
}

async function createMenus() {
  await api.contextMenus.removeAll();
  api.contextMenus.create({ id: PICTURE_ITEM, title: MENU_TITLE, contexts: ["image"] });
  api.contextMenus.create({
    id: LINK_ITEM,
    title: MENU_TITLE,
    contexts: ["link"],
    targetUrlPatterns: pictureLinkPatterns(),
  });
}

function schemeOf(address) {
  const colon = address.indexOf(":");
  return colon < 0 ? "" : address.slice(0, colon).toLowerCase();
}

// The page's own name for the picture: the last segment of its path.
function pictureNameOf(address) {
  const scheme = schemeOf(address);
  if (scheme !== "http" && scheme !== "https") return "";
  try {
    const segments = new URL(address).pathname.split("/");
    return decodeURIComponent(segments[segments.length - 1]);
  } catch {
    return "";
  }
}

// Runs `func` in the frame that was clicked; undefined when the page may not
// be scripted (a browser page, a frame of another site).
async function runInFrame(tab, frameId, func, args) {
  try {
    const [result] = await api.scripting.executeScript({
      target: { tabId: tab.id, frameIds: [frameId ?? 0] },
      func,
      args,
    });
    return result?.result;
  } catch {
    return undefined;
  }
}

// --- run in the page: self-contained, as executeScript sends them ---------

// The status of the picture without the page's cookies; 0 when the page may
// not even ask (another site that allows no such request).
async function probePicture(address) {
  // Firefox's content scripts reach the page's own fetch through "content".
  const pageFetch = globalThis.content?.fetch ? globalThis.content.fetch.bind(globalThis.content) : fetch;
  try {
    const response = await pageFetch(address, { method: "HEAD", credentials: "omit", cache: "no-store" });
    return response.status;
  } catch {
    return 0;
  }
}

// The picture's bytes as base64 with its type, read as the page reads it.
async function readPicture(address, largest) {
  const pageFetch = globalThis.content?.fetch ? globalThis.content.fetch.bind(globalThis.content) : fetch;
  let response;
  try {
    response = await pageFetch(address, { credentials: "include" });
  } catch (error) {
    return { error: `The picture cannot be read: ${error.message}` };
  }
  if (!response.ok) return { error: `The picture cannot be read: the server answered ${response.status}` };
  const blob = await response.blob();
  if (blob.size > largest) return { error: "The picture is too large to be sent to Quillet" };
  const bytes = new Uint8Array(await blob.arrayBuffer());
  let binary = "";
  for (let at = 0; at < bytes.length; at += 0x8000) {
    binary += String.fromCharCode.apply(null, bytes.subarray(at, at + 0x8000));
  }
  return { type: blob.type, bytes: btoa(binary) };
}

// ---------------------------------------------------------------------------

// The type the bytes show when the server named none Quillet takes.
function pictureTypeOf(type, base64) {
  const named = (type ?? "").split(";")[0].trim().toLowerCase();
  if (PICTURE_TYPES.includes(named)) return named;
  const start = atob(base64.slice(0, 8));
  if (start.startsWith("\x89PNG")) return "image/png";
  if (start.startsWith("\xff\xd8\xff")) return "image/jpeg";
  if (start.startsWith("GIF8")) return "image/gif";
  if (start.startsWith("BM")) return "image/bmp";
  return named || "application/octet-stream";
}

async function bytesMessage(tab, frameId, address) {
  const read = await runInFrame(tab, frameId, readPicture, [address, LARGEST_PICTURE]);
  if (read === undefined) throw new Error("The picture cannot be read in this page");
  if (read.error) throw new Error(read.error);
  const message = { bytes: read.bytes, type: pictureTypeOf(read.type, read.bytes) };
  const name = pictureNameOf(address);
  if (name) message.name = name;
  return message;
}

// What goes to the host for the picture at `address`.
async function messageFor(tab, frameId, address) {
  const scheme = schemeOf(address);
  if (scheme === "data" || scheme === "blob") return bytesMessage(tab, frameId, address);
  if (scheme === "http" || scheme === "https") {
    const status = await runInFrame(tab, frameId, probePicture, [address]);
    if (status === 401 || status === 403) return bytesMessage(tab, frameId, address);
  }
  return { url: address };
}

// Hands the clicked picture over; resolves to the host's answer, or fails
// with the reason in words.
async function sendPicture(info, tab) {
  const address = info.menuItemId === LINK_ITEM ? info.linkUrl : info.srcUrl;
  if (!address) throw new Error("This picture has no address");
  const message = await messageFor(tab, info.frameId, address);
  let reply;
  try {
    reply = await api.runtime.sendNativeMessage(NATIVE_HOST, message);
  } catch (error) {
    if (/not found|no such native application/i.test(error.message)) {
      throw new Error('Quillet is not registered with this browser: run "quillet --regserver" once');
    }
    throw error;
  }
  if (!reply?.ok) throw new Error(reply?.error ?? "Quillet's host gave no answer");
  return reply;
}

// A failure is told in the page where the user clicked.
function tell(tab, frameId, error) {
  const text = `Quillet: ${error?.message ?? error}`;
  console.error(text);
  if (tab?.id === undefined) return;
  runInFrame(tab, frameId, (message) => alert(message), [text]);
}

function onMenuClicked(info, tab) {
  if (info.menuItemId !== PICTURE_ITEM && info.menuItemId !== LINK_ITEM) return Promise.resolve();
  return sendPicture(info, tab).catch((error) => tell(tab, info.frameId, error));
}

api.runtime.onInstalled.addListener(createMenus);
api.runtime.onStartup.addListener(createMenus);
api.contextMenus.onClicked.addListener(onMenuClicked);
