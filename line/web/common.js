// What the login page and the dashboard share: the language, the texts, the
// calls to the server.
'use strict';

const LANGUAGE_KEY = 'tirvel.lang';

// The operator's choice first, then the browser's languages.
function chooseLanguage() {
  const chosen = localStorage.getItem(LANGUAGE_KEY);
  if (chosen && STRINGS[chosen]) {
    return chosen;
  }
  const wanted = navigator.languages && navigator.languages.length
    ? navigator.languages : [navigator.language || 'en'];
  for (const tag of wanted) {
    const lower = String(tag).toLowerCase();
    if (lower.startsWith('zh')) {
      return 'zh';
    }
    if (lower.startsWith('en')) {
      return 'en';
    }
  }
  return 'en';
}

let language = chooseLanguage();
const languageListeners = [];

// The text for key with {0}, {1}… filled in.
function t(key, ...args) {
  const table = STRINGS[language] || STRINGS.en;
  const text = table[key] !== undefined ? table[key] : key;
  return text.replace(/\{(\d+)\}/g, (whole, n) => (args[n] !== undefined ? String(args[n]) : whole));
}

// The static texts carry their keys: data-i18n for the text,
// data-i18n-placeholder, data-i18n-title and data-i18n-aria for attributes.
function applyTexts(root = document) {
  document.documentElement.lang = language === 'zh' ? 'zh-CN' : 'en';
  root.querySelectorAll('[data-i18n]').forEach((el) => { el.textContent = t(el.dataset.i18n); });
  root.querySelectorAll('[data-i18n-placeholder]').forEach((el) => {
    el.placeholder = t(el.dataset.i18nPlaceholder);
  });
  root.querySelectorAll('[data-i18n-title]').forEach((el) => { el.title = t(el.dataset.i18nTitle); });
  root.querySelectorAll('[data-i18n-aria]').forEach((el) => {
    el.setAttribute('aria-label', t(el.dataset.i18nAria));
  });
  document.title = t('app.title');
}

function setLanguage(next) {
  language = next;
  localStorage.setItem(LANGUAGE_KEY, next);
  applyTexts();
  languageListeners.forEach((listener) => listener());
}

function onLanguageChange(listener) {
  languageListeners.push(listener);
}

function wireLanguageSwitch() {
  const button = document.getElementById('lang-switch');
  button.addEventListener('click', () => setLanguage(language === 'zh' ? 'en' : 'zh'));
}

class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

// A call to the server; JSON in and out. Calls that change something carry
// X-Tirvel-Request, which a form on another site cannot add.
async function api(method, path, body) {
  const headers = { Accept: 'application/json' };
  if (method !== 'GET') {
    headers['X-Tirvel-Request'] = '1';
  }
  if (body !== undefined) {
    headers['Content-Type'] = 'application/json';
  }
  const response = await fetch(path, {
    method,
    headers,
    body: body === undefined ? undefined : JSON.stringify(body),
    credentials: 'same-origin',
  });
  if (response.status === 204) {
    return null;
  }
  let answer = null;
  const type = response.headers.get('Content-Type') || '';
  if (type.includes('json')) {
    answer = await response.json();
  }
  if (!response.ok) {
    throw new ApiError(response.status, (answer && answer.error) || `HTTP ${response.status}`);
  }
  return answer;
}

// An element with its text: data never goes through innerHTML.
function el(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) {
      continue;
    }
    if (name === 'text') {
      node.textContent = value;
    } else if (name === 'className') {
      node.className = value;
    } else if (name.startsWith('on')) {
      node.addEventListener(name.slice(2), value);
    } else {
      node.setAttribute(name, value === true ? '' : value);
    }
  }
  for (const child of children) {
    if (child !== null && child !== undefined) {
      node.append(child);
    }
  }
  return node;
}

// "2026-12-10 09:15:02" in the browser's time zone, for the page's language.
function formatTime(iso) {
  if (!iso) {
    return '';
  }
  const date = new Date(iso);
  if (Number.isNaN(date.getTime())) {
    return String(iso);
  }
  const pad = (n) => String(n).padStart(2, '0');
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())} ` +
    `${pad(date.getHours())}:${pad(date.getMinutes())}:${pad(date.getSeconds())}`;
}

// The form the server's since and until take: UTC, to the second.
function apiTime(date) {
  return date.toISOString().slice(0, 19) + 'Z';
}
