// SPDX-License-Identifier: GPL-3.0-or-later
// The shared page in a real browser: the real `sonavell --share` serves a documents folder on
// 127.0.0.1:8080 and headless chromium loads it at a phone's and a desktop's size. Checks that
// nothing overflows sideways, that every recording has a player, that playing starts and that a
// seek lands where asked (through a byte-range answer); saves a screenshot of each page.
//
//   node page-test.mjs <sonavell executable> <screenshot folder>
// Exits 77 (skipped) when chromium cannot be started here.
import { spawn } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";

const [program, shotDir] = process.argv.slice(2);
let puppeteer;
try {
  puppeteer = (await import("puppeteer-core")).default;
} catch {
  console.log("SKIPPED: puppeteer-core is not installed (scripts/install-deps installs it)");
  process.exit(77);
}
const chromium = process.env.CHROMIUM || "/usr/bin/chromium";
const base = "http://127.0.0.1:8080";
let failures = 0;

function check(condition, what) {
  console.log(`${condition ? "ok  " : "FAIL"} ${what}`);
  if (!condition) failures++;
}

// A mono 16-bit WAV of a 440 Hz tone.
function toneWav(seconds, rate) {
  const frames = Math.round(seconds * rate);
  const data = Buffer.alloc(frames * 2);
  for (let i = 0; i < frames; i++)
    data.writeInt16LE(Math.round(8000 * Math.sin((2 * Math.PI * 440 * i) / rate)), i * 2);
  const head = Buffer.alloc(44);
  head.write("RIFF", 0);
  head.writeUInt32LE(36 + data.length, 4);
  head.write("WAVEfmt ", 8);
  head.writeUInt32LE(16, 16);
  head.writeUInt16LE(1, 20);
  head.writeUInt16LE(1, 22);
  head.writeUInt32LE(rate, 24);
  head.writeUInt32LE(rate * 2, 28);
  head.writeUInt16LE(2, 32);
  head.writeUInt16LE(16, 34);
  head.write("data", 36);
  head.writeUInt32LE(data.length, 40);
  return Buffer.concat([head, data]);
}

function startServer(scratch) {
  const docs = path.join(scratch, "Documents");
  fs.mkdirSync(docs, { recursive: true });
  fs.writeFileSync(path.join(docs, "REC20261201093000.wav"), toneWav(8, 11025));
  fs.writeFileSync(path.join(docs, "REC20261202174500.wav"), toneWav(3, 22050));
  const env = {
    ...process.env,
    XDG_CONFIG_HOME: path.join(scratch, "config"),
    XDG_DATA_HOME: path.join(scratch, "data"),
    XDG_CACHE_HOME: path.join(scratch, "cache"),
    SONAVELL_AUDIO: "virtual",
    // No mDNS here: the server serves on at its numeric address.
    DBUS_SYSTEM_BUS_ADDRESS: "unix:path=/nonexistent/system_bus_socket",
  };
  const server = spawn(program, ["--share", "--documents", docs, "-platform", "offscreen"], { env });
  let log = "";
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no address logged:\n${log}`)), 30000);
    const collect = (chunk) => {
      log += chunk;
      if (log.includes("Web sharing at ")) {
        clearTimeout(timer);
        resolve(server);
      }
    };
    server.stdout.on("data", collect);
    server.stderr.on("data", collect);
    server.on("exit", (code) => reject(new Error(`sonavell ended (${code}):\n${log}`)));
  });
}

async function checkViewport(browser, width, height) {
  const page = await browser.newPage();
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  const mediaStatuses = [];
  page.on("response", (response) => {
    if (response.url().includes("/Documents/")) mediaStatuses.push(response.status());
  });
  const overflow = () =>
    page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
  const size = `${width}x${height}`;

  await page.goto(`${base}/`, { waitUntil: "load" });
  check((await overflow()) <= 0, `${size} landing page: nothing overflows sideways`);
  check(await page.$eval("#invite", (e) => !e.hidden && e.offsetHeight > 0),
        `${size} landing page: invites to pick a category`);
  await page.screenshot({ path: path.join(shotDir, `web-landing-${size}.png`) });

  await page.goto(`${base}/Category/All`, { waitUntil: "load" });
  check((await overflow()) <= 0, `${size} "All": nothing overflows sideways`);
  const rows = await page.$$eval("#files tr", (trs) =>
    trs.slice(1).filter((tr) => tr.offsetHeight > 0).map((tr) => !!tr.querySelector("audio")));
  check(rows.length === 2 && rows.every(Boolean), `${size} "All": every recording has a player`);
  const formats = await page.$$eval("#files tr:not([hidden]) .formats a", (as) =>
    as.map((a) => `${a.textContent} ${a.getAttribute("href")}`));
  check(formats.filter((f) => /^Opus \/Documents\/REC\d+\.opus$/.test(f)).length === 2 &&
          formats.filter((f) => /^FLAC \/Documents\/REC\d+\.flac$/.test(f)).length === 2,
        `${size} "All": every recording offers Opus and FLAC (${formats})`);
  check(await page.$eval("#files audio", (a) => /\.opus$/.test(a.src)),
        `${size} the player plays the Opus copy`);
  const flac = await page.evaluate(async () => {
    const link = document.querySelector('#files .formats a[href$=".flac"]');
    const answer = await fetch(link.href);
    const head = new Uint8Array(await answer.arrayBuffer()).slice(0, 4);
    return { status: answer.status, type: answer.headers.get("content-type"),
             head: String.fromCharCode(...head) };
  });
  check(flac.status === 200 && flac.type === "audio/flac" && flac.head === "fLaC",
        `${size} the FLAC download is a FLAC file (${JSON.stringify(flac)})`);
  check(await page.$$eval("#files td", (tds) => tds.some((td) => / KB$/.test(td.textContent))),
        `${size} "All": sizes read in KB`);
  await page.screenshot({ path: path.join(shotDir, `web-all-${size}.png`), fullPage: true });

  const played = await page.evaluate(
    () =>
      new Promise((resolve) => {
        const audio = document.querySelector("#files audio");
        const timer = setTimeout(() => resolve(false), 10000);
        audio.addEventListener("playing", () => { clearTimeout(timer); resolve(true); }, { once: true });
        audio.play().catch(() => resolve(false));
      }));
  check(played, `${size} the first player reaches "playing"`);
  const landed = await page.evaluate(
    () =>
      new Promise((resolve) => {
        const audio = document.querySelector("#files audio");
        const target = audio.duration / 2;
        const timer = setTimeout(() => resolve(null), 10000);
        audio.addEventListener("seeked", () => {
          clearTimeout(timer);
          resolve({ target, at: audio.currentTime });
        }, { once: true });
        audio.currentTime = target;
      }));
  check(landed && Math.abs(landed.at - landed.target) < 0.5,
        `${size} a seek to the middle lands within 0.5 s (${JSON.stringify(landed)})`);
  check(mediaStatuses.includes(206), `${size} the recording came in byte ranges (${mediaStatuses})`);
  await page.close();
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "sonavell-browser-"));
fs.mkdirSync(shotDir, { recursive: true });
let browser;
try {
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ["--no-sandbox", "--autoplay-policy=no-user-gesture-required", "--mute-audio"],
  });
} catch (error) {
  console.log(`SKIPPED: chromium could not be started here (${error.message.split("\n")[0]})`);
  process.exit(77);
}
let server;
try {
  server = await startServer(scratch);
  await checkViewport(browser, 390, 844);
  await checkViewport(browser, 1280, 900);
} catch (error) {
  console.log(`FAIL ${error.stack}`);
  failures++;
} finally {
  await browser.close();
  if (server && server.exitCode === null) {
    const ended = new Promise((resolve) => server.once("exit", resolve));
    server.kill("SIGTERM");
    await ended;
  }
  fs.rmSync(scratch, { recursive: true, force: true });
}
process.exit(failures ? 1 : 0);
