// ESLint for the pages' scripts: the recommended rules, on ES modules that
// run in a browser (the pages) or in Node (their tests).
import js from "@eslint/js";

const browser = Object.fromEntries(
  ["document", "window", "location", "navigator", "performance", "requestAnimationFrame", "setTimeout",
    "clearTimeout", "URL", "URLSearchParams", "Blob", "Image", "XMLSerializer", "MouseEvent", "console", "fetch"]
    .map((name) => [name, "readonly"]));

export default [
  { ignores: ["node_modules/"] },
  js.configs.recommended,
  {
    languageOptions: { ecmaVersion: 2022, sourceType: "module", globals: browser },
    rules: {
      "no-unused-vars": ["error", { args: "after-used" }],
      eqeqeq: ["error", "smart"],
      "prefer-const": "error",
      "no-var": "error",
    },
  },
];
