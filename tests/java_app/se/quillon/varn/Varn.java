package se.quillon.varn;

import java.io.BufferedReader;
import java.io.File;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.OutputStream;
import java.util.HashMap;
import java.util.Map;

/**
 * The application the launcher starts, as its tests and demo run it on a real Java VM. It acts out
 * scenario.txt beside its jar (key=value lines) and writes what it received and did to record.txt
 * there. Each record line is written at once: the record must be whole however the process ends.
 */
public final class Varn {
  private static final String[] RECORDED_PROPERTIES = {
    "java.class.path", "qmr.msi", "qmr.pending", "qmr.branding", "qmr.logofile", "avian.bootstrap",
    "java.vm.name", "java.vm.version", "java.version", "avian.version", "os.arch", "user.dir"
  };

  private static OutputStream recordFile;

  private Varn() {}

  public static void main(String[] args) throws Exception {
    // The class path is the jar alone, relative to the working directory as the launcher gives it.
    File appDir = new File(System.getProperty("java.class.path")).getParentFile();
    File scenarioFile = new File(appDir, "scenario.txt");
    Map<String, String> scenario = readScenario(scenarioFile);
    if ("yes".equals(scenario.get("once")) && !scenarioFile.delete()) {
      // Left in place it would steer the next start too, which may be another version's.
      throw new IllegalStateException("cannot delete " + scenarioFile);
    }
    String signal = scenario.get("signal");
    if (signal != null) {
      // A named pipe the start-up benchmark waits on, opened as soon as main knows its name.
      OutputStream pipe = new FileOutputStream(signal, true);
      pipe.write('!');
      pipe.close();
    }
    recordFile = new FileOutputStream(new File(appDir, "record.txt").getPath(), true);

    record("main args=" + (args == null ? "null" : "array of " + args.length));
    record("version " + Version.TEXT);
    for (String name : RECORDED_PROPERTIES) {
      String value = System.getProperty(name);
      record(value == null ? "unset " + name : "property " + name + "=" + value);
    }

    String source = scenario.get("copy-to-pending");
    if (source != null) {
      copyToPending(source);
    }
    String release = scenario.get("thread-until");
    if (release != null) {
      startWorker(new File(release));
    }

    String action = scenario.containsKey("main") ? scenario.get("main") : "return";
    if (action.startsWith("exit:")) {
      // Codes of 2^31 and more arrive as the negative int with the same 32 bits.
      int code = (int) Long.parseLong(action.substring(5));
      record("exit " + code);
      System.exit(code);
    } else if (action.equals("throw")) {
      record("main throws");
      throw new IllegalStateException("the scenario asked main to throw");
    }
    record("main returns");
  }

  private static Map<String, String> readScenario(File file) throws IOException {
    Map<String, String> scenario = new HashMap<String, String>();
    if (!file.exists()) {
      return scenario;
    }
    BufferedReader in = new BufferedReader(new InputStreamReader(new FileInputStream(file)));
    try {
      for (String line = in.readLine(); line != null; line = in.readLine()) {
        int eq = line.indexOf('=');
        if (eq > 0 && !line.startsWith("#")) {
          scenario.put(line.substring(0, eq), line.substring(eq + 1));
        }
      }
    } finally {
      in.close();
    }
    return scenario;
  }

  private static void copyToPending(String source) {
    String target = System.getProperty("qmr.pending");
    try {
      InputStream in = new FileInputStream(source);
      try {
        OutputStream out = new FileOutputStream(target);
        try {
          byte[] buffer = new byte[65536];
          for (int n = in.read(buffer); n > 0; n = in.read(buffer)) {
            out.write(buffer, 0, n);
          }
        } finally {
          out.close();
        }
      } finally {
        in.close();
      }
      record("copy-to-pending " + target + " ok");
    } catch (IOException e) {
      record("copy-to-pending " + target + " failed: " + e);
    }
  }

  // A non-daemon thread that outlives main, as a GUI application's threads do, until the file exists.
  private static void startWorker(final File release) {
    Thread worker =
        new Thread("worker") {
          @Override
          public void run() {
            long deadline = System.currentTimeMillis() + 300000;
            while (!release.exists() && System.currentTimeMillis() < deadline) {
              try {
                Thread.sleep(20);
              } catch (InterruptedException e) {
                return;
              }
            }
            record(release.exists() ? "worker released" : "worker gave up");
          }
        };
    worker.setDaemon(false);
    worker.start();
    record("worker started");
  }

  private static synchronized void record(String line) {
    try {
      recordFile.write((line + "\n").getBytes());
    } catch (IOException e) {
      System.err.println("varn: cannot write the record: " + e);
    }
  }
}
