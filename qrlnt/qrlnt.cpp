// Stand-in File Manager client library (placeholder until the image server lands).
