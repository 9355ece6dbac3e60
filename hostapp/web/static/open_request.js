// The request that opens files: one file goes as the body with its name in
// a header; several go as one multipart form, each part named by its file.
export function requestFor(files) {
  if (files.length === 1) {
    const [file] = files;
    // Header values are Latin-1 only: the name travels percent-encoded.
    return { body: file, headers: { 'X-Tessaline-Filename': encodeURIComponent(file.name) } };
  }
  const form = new FormData();
  for (const file of files) form.append('file', file, file.name);
  return { body: form, headers: {} };
}
